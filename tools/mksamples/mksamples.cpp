// mksamples: writes the sample data of the demo: a bind archive (bind0.tbl and
// bind0.dat) holding a few text entries and B16 test pictures, and one loose B16 picture.
//
// usage: mksamples FOLDER

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 640;
constexpr int kRows = 224;

// A B16 picture being drawn: 5-bit blue, green and red per pixel, top row first.
struct Picture {
    std::vector<uint16_t> words = std::vector<uint16_t>(kWidth * kRows, 0);

    void set(int x, int y, int r, int g, int b) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kRows) return;
        words[y * kWidth + x] = static_cast<uint16_t>(((b & 31) << 10) | ((g & 31) << 5) | (r & 31));
    }
    void rect(int x0, int y0, int w, int h, int r, int g, int b) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) set(x, y, r, g, b);
    }
    Bytes bytes() const {
        Bytes out;
        out.reserve(words.size() * 2);
        for (uint16_t w : words) {
            out.push_back(static_cast<uint8_t>(w >> 8)); // big-endian
            out.push_back(static_cast<uint8_t>(w));
        }
        return out;
    }
};

// 5 x 7 letters for labels that show which way is up and which side is left.
const char *glyph(char c) {
    switch (c) {
    case 'T': return "#####..#....#....#....#....#....#..";
    case 'O': return ".###.#...##...##...##...##...#.###.";
    case 'P': return "####.#...##...#####.#....#....#....";
    case 'L': return "#....#....#....#....#....#....#####";
    case 'E': return "######....#....####.#....#....#####";
    case 'F': return "######....#....####.#....#....#....";
    case 'B': return "####.#...##...#####.#...##...#####.";
    case 'M': return "#...###.###.#.##...##...##...##...#";
    default: return "...................................";
    }
}

void label(Picture &p, int x0, int y0, const char *text, int scale, int r, int g, int b) {
    for (int i = 0; text[i]; ++i) {
        const char *bits = glyph(text[i]);
        for (int gy = 0; gy < 7; ++gy)
            for (int gx = 0; gx < 5; ++gx)
                if (bits[gy * 5 + gx] == '#') p.rect(x0 + (i * 6 + gx) * scale, y0 + gy * scale, scale, scale, r, g, b);
    }
}

// Eight bars, left to right: white, yellow, cyan, green, magenta, red, blue, black; ramps
// of red, green, blue and grey below them; "TOP LEFT" in the top left corner.
Picture colour_bars() {
    Picture p;
    const int bars[8][3] = {{31, 31, 31}, {31, 31, 0}, {0, 31, 31}, {0, 31, 0},
                            {31, 0, 31},  {31, 0, 0},  {0, 0, 31},  {0, 0, 0}};
    for (int i = 0; i < 8; ++i) p.rect(i * 80, 0, 80, 150, bars[i][0], bars[i][1], bars[i][2]);
    for (int x = 0; x < kWidth; ++x) {
        const int v = x * 32 / kWidth;
        p.rect(x, 150, 1, 18, v, 0, 0);
        p.rect(x, 168, 1, 18, 0, v, 0);
        p.rect(x, 186, 1, 18, 0, 0, v);
        p.rect(x, 204, 1, 20, v, v, v);
    }
    p.rect(4, 4, 6 * 8 * 3 + 8, 7 * 3 + 8, 0, 0, 0);
    label(p, 8, 8, "TOP LEFT", 3, 31, 31, 31);
    return p;
}

// Red grows to the right, blue downwards, green along the diagonal.
Picture gradients() {
    Picture p;
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kWidth; ++x)
            p.set(x, y, x * 32 / kWidth, ((x + 3 * y) / 8) % 32, y * 32 / kRows);
    return p;
}

// Fine detail: single-line stripes (the interpolated lines between them come out grey),
// a checkerboard, thin diagonals and rings.
Picture fine_detail() {
    Picture p;
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < 160; ++x) p.set(x, y, y % 2 ? 0 : 31, y % 2 ? 0 : 31, y % 2 ? 0 : 31);
    for (int y = 0; y < kRows; ++y)
        for (int x = 160; x < 320; ++x) {
            const int on = ((x / 2) + (y / 2)) % 2;
            p.set(x, y, on ? 31 : 0, on ? 24 : 0, on ? 0 : 8);
        }
    for (int y = 0; y < kRows; ++y)
        for (int x = 320; x < 480; ++x)
            if ((x + y) % 12 == 0 || (x - y + 1200) % 12 == 0) p.set(x, y, 0, 31, 12);
    for (int y = 0; y < kRows; ++y)
        for (int x = 480; x < kWidth; ++x) {
            const double d = std::sqrt(double((x - 560) * (x - 560) + (y - 112) * (y - 112)));
            const int ring = static_cast<int>(d) / 3 % 2;
            p.set(x, y, ring ? 31 : 4, ring ? 8 : 4, ring ? 16 : 20);
        }
    label(p, 4, 4, "TOP", 2, 31, 0, 0);
    return p;
}

// The loose picture: soft interference bands.
Picture bands() {
    Picture p;
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double u = x / 40.0, v = y / 28.0;
            const int r = static_cast<int>(15.5 + 15.5 * std::sin(u + v));
            const int g = static_cast<int>(15.5 + 15.5 * std::sin(u * 0.7 - v * 1.3));
            const int b = static_cast<int>(15.5 + 15.5 * std::cos(std::sqrt(u * u + v * v)));
            p.set(x, y, r, g, b);
        }
    label(p, 8, 8, "TOP LEFT", 2, 31, 31, 31);
    return p;
}

struct Entry {
    const char *base; // at most 8 characters
    const char *ext;  // at most 3 characters
    Bytes bytes;
};

Bytes text(const char *s) {
    return Bytes(s, s + std::strlen(s));
}

void put_be32(Bytes &out, uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool write(const std::filesystem::path &path, const Bytes &bytes) {
    FILE *f = std::fopen(path.string().c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mksamples FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    const std::vector<Entry> entries = {
        {"README", "TXT",
         text("Sample bind archive for the toldrin and marusk plug-ins.\r\n"
              "BARS, GRAD and DETAIL are B16 pictures (640 x 224, 15-bit colour).\r\n")},
        {"BARS", "B16", colour_bars().bytes()},
        {"GRAD", "B16", gradients().bytes()},
        {"DETAIL", "B16", fine_detail().bytes()},
        {"CREDITS", "TXT", text("Pictures drawn by mksamples.\r\n")},
        {"EMPTY", "DAT", Bytes()},
    };

    // Entries are stored one after another, each starting on a 2,048-byte boundary.
    Bytes table, data;
    for (const Entry &e : entries) {
        data.resize((data.size() + 2047) / 2048 * 2048, 0);
        char name[12];
        std::snprintf(name, sizeof name, "%-8s%-3s", e.base, e.ext);
        table.insert(table.end(), name, name + 11);
        put_be32(table, static_cast<uint32_t>(data.size()));
        put_be32(table, static_cast<uint32_t>(e.bytes.size()));
        data.insert(data.end(), e.bytes.begin(), e.bytes.end());
    }
    if (!write(folder / "bind0.tbl", table) || !write(folder / "bind0.dat", data) ||
        !write(folder / "sample.b16", bands().bytes())) {
        std::fprintf(stderr, "mksamples: cannot write into %s\n", folder.string().c_str());
        return 1;
    }
    std::printf("samples written to %s: bind0.tbl, bind0.dat (%zu entries), sample.b16\n", folder.string().c_str(),
                entries.size());
    return 0;
}
