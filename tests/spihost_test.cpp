// spihost end to end, as a user runs it: the program of the tree under test, with the
// plug-ins beside it, on archives and pictures made here. PNG output is decoded back
// with the same PNG library and compared with the plug-in's own bitmap.

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "stb_image.h"
#include "tests/host/fixtures.h"
#include "tests/host/plugin_host.h"

namespace {

using host::Bytes;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// The program's output with Windows line ends read as "\n".
std::string text_of(const Bytes &b) {
    std::string s;
    for (size_t i = 0; i < b.size(); ++i)
        if (!(b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n')) s += static_cast<char>(b[i]);
    return s;
}

class Spihost : public ::testing::Test {
protected:
    host::ScratchDir dir;

    // Runs spihost with the arguments (no shell quoting needed: no spaces in them).
    Outcome spihost(const std::string &arguments) {
#if defined(_WIN32)
        const std::string program = "spihost.exe";
#else
        const std::string program = "./spihost";
#endif
        const std::string out = dir / "stdout.txt", err = dir / "stderr.txt";
        const std::string command = program + " " + arguments + " >" + out + " 2>" + err;
        Outcome r;
        const int raw = std::system(command.c_str());
#if defined(_WIN32)
        r.status = raw;
#else
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        r.out = text_of(host::read_file(out));
        r.err = text_of(host::read_file(err));
        std::remove(out.c_str());
        std::remove(err.c_str());
        return r;
    }

    // An archive of text entries and pictures, plus whatever else a test adds.
    struct Entry {
        std::string stored; // 11 bytes
        Bytes bytes;
    };
    std::string archive(const std::vector<Entry> &entries) {
        Bytes table, data;
        for (const Entry &e : entries) {
            const Bytes r = host::table_record(e.stored, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(e.bytes.size()));
            table.insert(table.end(), r.begin(), r.end());
            data.insert(data.end(), e.bytes.begin(), e.bytes.end());
        }
        host::write_file(dir / "bind0.tbl", table);
        host::write_file(dir / "bind0.dat", data);
        return dir / "bind0.tbl";
    }

    // The plug-in's own bitmap of a picture, top line first, red-green-blue.
    Bytes plugin_rgb(const Bytes &picture, bool full) {
        host::Plugin marusk(host::plugin_file("marusk"));
        auto decode = marusk.get<spi_GetPicture>(full ? "GetPicture" : "GetPreview");
        HLOCAL header = nullptr, pixels = nullptr;
        EXPECT_EQ(decode(reinterpret_cast<const char *>(picture.data()), 286720, 1, &header, &pixels, nullptr, 0), 0);
        host::take_block(header);
        const Bytes block = host::take_block(pixels);
        const size_t lines = full ? 448 : 224;
        Bytes rgb;
        for (size_t y = 0; y < lines; ++y)
            for (size_t x = 0; x < 640; ++x) {
                const host::Bgr p = host::pixel_at(block, lines, x, y);
                rgb.insert(rgb.end(), {p.r, p.g, p.b});
            }
        return rgb;
    }

    // A PNG file decoded back: its size and its pixels, red-green-blue.
    Bytes png_rgb(const std::string &path, int *width, int *height) {
        const Bytes file = host::read_file(path);
        int channels = 0;
        unsigned char *p = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), width, height, &channels, 3);
        if (!p) return Bytes();
        Bytes rgb(p, p + static_cast<size_t>(*width) * *height * 3);
        stbi_image_free(p);
        return rgb;
    }
};

const Bytes kReadme = {'h', 'e', 'l', 'l', 'o', '\r', '\n'};

TEST_F(Spihost, PluginsPrintsTheFourStringsOfEachPlugin) {
    const Outcome r = spihost("plugins");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *s : {"marusk.spi", "00IN", "felvane - ver.0.04", "*.b16", "[SS]Kaltrev 16bit(640x224)  (*.B16)",
                          "toldrin.spi", "00AM", "toldrin - ver.0.03", "bind*.tbl",
                          "[SS]Kaltrev Bind Archive  (bind*.tbl+dat)"})
        EXPECT_NE(r.out.find(s), std::string::npos) << s;
    EXPECT_LT(r.out.find("marusk.spi"), r.out.find("toldrin.spi")) << "file-name order";
}

TEST_F(Spihost, ListsAnArchiveAsTextAndAsJson) {
    const std::string path = archive({{"README  TXT", kReadme}, {"PIC     B16", host::random_b16(1).bytes}});
    const Outcome text = spihost("list " + path);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "README.TXT              7          0\n"
                        "PIC.B16            286720         19\n");
    const Outcome json = spihost("list --json " + path);
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out, "[\n"
                        "  {\"name\": \"README.TXT\", \"size\": 7, \"position\": 0},\n"
                        "  {\"name\": \"PIC.B16\", \"size\": 286720, \"position\": 19}\n"
                        "]\n");
}

TEST_F(Spihost, ExtractsEverythingOrTheNamedEntries) {
    const Bytes picture = host::random_b16(2).bytes;
    const std::string path = archive({{"README  TXT", kReadme}, {"PIC     B16", picture}, {"EMPTY   DAT", {}}});
    const Outcome all = spihost("extract " + path + " -C " + (dir / "all/new"));
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(host::read_file(dir / "all/new/README.TXT"), kReadme);
    EXPECT_EQ(host::read_file(dir / "all/new/PIC.B16"), picture);
    EXPECT_TRUE(host::exists(dir / "all/new/EMPTY.DAT"));
    EXPECT_EQ(host::read_file(dir / "all/new/EMPTY.DAT"), Bytes());

    const Outcome named = spihost("extract " + path + " readme.txt -C " + (dir / "named"));
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(host::read_file(dir / "named/README.TXT"), kReadme);
    EXPECT_FALSE(host::exists(dir / "named/PIC.B16"));

    const Outcome missing = spihost("extract " + path + " NOTHERE.TXT README.TXT -C " + (dir / "missing"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("NOTHERE.TXT: no entry of that name in the bind table"), std::string::npos) << missing.err;
    EXPECT_EQ(host::read_file(dir / "missing/README.TXT"), kReadme) << "the entries that exist are extracted";
}

TEST_F(Spihost, AnEntryThePluginRefusesIsReportedAndSkipped) {
    const std::string path = archive({{"..\\..\\X EXE", kReadme}, {"../ESCAPETXT", kReadme}, {"SAFE    TXT", kReadme}});
    host::make_dir(dir / "a/b/out");
    const std::vector<std::string> before = dir.contents();
    for (const char *convert : {"", " --convert"}) {
        SCOPED_TRACE(convert);
        const Outcome r = spihost("extract " + path + " -C " + (dir / "a/b/out") + convert);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("skipped ..\\..\\X.EXE"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("skipped ../ESCAP.ETX"), std::string::npos) << r.err;
        EXPECT_EQ(host::read_file(dir / "a/b/out/SAFE.TXT"), kReadme);
    }
    std::vector<std::string> after = dir.contents();
    std::vector<std::string> expected = before;
    expected.push_back("a/b/out/SAFE.TXT");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected) << "nothing written outside the destination";
}

TEST_F(Spihost, ExtractWithConvertTurnsPicturesIntoPngs) {
    const Bytes bars = host::random_b16(3).bytes;
    Bytes not_a_picture(1000, 7);
    const std::string path = archive({{"BARS    B16", bars}, {"README  TXT", kReadme}, {"SHORT   B16", not_a_picture}});
    const Outcome r = spihost("extract " + path + " --convert -C " + (dir / "out"));
    EXPECT_EQ(r.status, 0) << r.err;
    int width = 0, height = 0;
    EXPECT_EQ(png_rgb(dir / "out/BARS.png", &width, &height), plugin_rgb(bars, true));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 448);
    EXPECT_FALSE(host::exists(dir / "out/BARS.B16"));
    EXPECT_EQ(host::read_file(dir / "out/README.TXT"), kReadme);
    // A .b16 entry of the wrong size is taken by name but cannot be decoded: written as it is.
    EXPECT_EQ(host::read_file(dir / "out/SHORT.B16"), not_a_picture);
}

TEST_F(Spihost, ConvertsPicturesToPngAndBmp) {
    const Bytes picture = host::random_b16(4).bytes;
    host::write_file(dir / "PIC.B16", picture);
    const std::string in = dir / "PIC.B16";

    const Outcome png = spihost("convert " + in + " -o " + (dir / "full.png"));
    EXPECT_EQ(png.status, 0) << png.err;
    int width = 0, height = 0;
    EXPECT_EQ(png_rgb(dir / "full.png", &width, &height), plugin_rgb(picture, true));

    const Outcome preview = spihost("convert " + in + " --preview -C " + (dir / "previews"));
    EXPECT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(png_rgb(dir / "previews/PIC.png", &width, &height), plugin_rgb(picture, false));
    EXPECT_EQ(height, 224);

    const Outcome beside = spihost("convert " + in);
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_TRUE(host::exists(dir / "PIC.png"));

    // BMP: a 54-byte header, then the bitmap bottom-up, blue-green-red, as the plug-in
    // handed it over (without its spare row).
    const Outcome bmp = spihost("convert " + in + " -o " + (dir / "full.bmp"));
    EXPECT_EQ(bmp.status, 0) << bmp.err;
    const Bytes file = host::read_file(dir / "full.bmp");
    ASSERT_EQ(file.size(), 54u + 860160u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(host::le32(&file[18]), 640u);
    EXPECT_EQ(host::le32(&file[22]), 448u);
    EXPECT_EQ(host::le16(&file[28]), 24u);
    const host::Decoded want = host::reference_decode(picture, true);
    EXPECT_TRUE(Bytes(file.begin() + 54, file.end()) == Bytes(want.pixels.begin(), want.pixels.begin() + 860160));
}

TEST_F(Spihost, InputsNoPluginTakesFailWithAMessage) {
    host::write_file(dir / "notes.txt", std::string("text"));
    host::write_file(dir / "WRONG.B16", Bytes(100, 1));
    const std::string table = archive({{"README  TXT", kReadme}});
    struct Case {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"convert " + (dir / "notes.txt"), "no plug-in"},
        {"convert " + (dir / "missing.b16"), "no such file"},
        {"convert " + (dir / "WRONG.B16"), "not supported"},
        {"convert " + table, "not a picture plug-in"},
        {"list " + (dir / "notes.txt"), "no plug-in"},
        {"list " + (dir / "WRONG.B16"), "not an archive plug-in"},
        {"--plugins " + (dir / "nowhere") + " plugins", "no plug-ins"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome r = spihost(c.arguments);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(Spihost, UsageErrorsExitWithTwo) {
    host::write_file(dir / "a.b16", Bytes(286720, 0));
    host::write_file(dir / "b.b16", Bytes(286720, 0));
    const std::string a = dir / "a.b16", b = dir / "b.b16";
    const std::string cases[] = {
        "",
        "frobnicate",
        "--bogus plugins",
        "plugins extra",
        "list",
        "list --bogus " + a,
        "extract",
        "extract " + a + " -C",
        "convert",
        "convert " + a + " " + b + " -o " + (dir / "x.png"),
        "convert " + a + " -o " + (dir / "x.png") + " -C " + dir.path(),
        "convert " + a + " --format gif",
        "--plugins",
    };
    for (const std::string &arguments : cases) {
        SCOPED_TRACE(arguments);
        const Outcome r = spihost(arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("spihost --help"), std::string::npos) << r.err;
    }
    for (const char *help : {"--help", "list --help", "extract -h", "convert --help", "plugins --help"}) {
        const Outcome r = spihost(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_NE(r.out.find("usage: spihost"), std::string::npos) << help;
    }
}

} // namespace
