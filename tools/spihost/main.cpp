// spihost: a command-line plug-in host. It loads plug-in libraries by file and drives
// them only through their exports, as the picture viewer does, to list and extract bind
// archives and to convert B16 pictures to PNG or BMP.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/spi_abi.h"
#include "tools/host/plugin_library.h"
#include "tools/spihost/image_file.h"
#include "tools/spihost/plugin_set.h"
#include "tools/spihost/system.h"

namespace fs = std::filesystem;
using spihost::ImageFormat;
using spihost::PluginSet;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

constexpr spi_flags kMemoryInput = 0x001;
constexpr spi_flags kIgnoreCase = 0x080;
constexpr spi_flags kMemoryOutput = 0x100;

const char kUsage[] =
    "usage: spihost [--plugins DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "A plug-in host on the command line: it loads the plug-ins (*.spi) of a folder and\n"
    "hands each file to the first plug-in that takes it, as the picture viewer does.\n"
    "\n"
    "commands:\n"
    "  plugins                          the information strings of every plug-in\n"
    "  list ARCHIVE [--json]            the entries of a bind archive (bind*.tbl)\n"
    "  extract ARCHIVE [NAME...] [-C DIR] [--convert]\n"
    "                                   extract all entries, or the named ones\n"
    "  convert PICTURE... [-o OUT | -C DIR] [--preview] [--format png|bmp]\n"
    "                                   decode pictures (*.b16) to PNG or BMP\n"
    "\n"
    "options:\n"
    "  --plugins DIR   where the plug-ins are (default: the program's folder, then\n"
    "                  build/native or build\\win32 below the current folder)\n"
    "  -h, --help      this text; 'spihost COMMAND --help' describes a command\n"
    "\n"
    "exit status: 0 success, 1 some inputs failed or were skipped, 2 usage error\n";

const char kPluginsHelp[] =
    "usage: spihost plugins\n"
    "\n"
    "Prints, for every plug-in of the folder in file-name order, its four information\n"
    "strings: the kind of plug-in, its name and version, the file pattern it handles and\n"
    "the description of that pattern.\n";

const char kListHelp[] =
    "usage: spihost list ARCHIVE [--json]\n"
    "\n"
    "Lists the entries of a bind archive, named by its table (bind*.tbl; the .dat file\n"
    "must be beside it): one line per entry with its name, its size in bytes and its\n"
    "position (where its record starts in the table).\n"
    "\n"
    "  --json   one JSON array of {\"name\", \"size\", \"position\"} objects instead; bytes of\n"
    "           names outside ASCII are written as \\u00XX escapes of their byte values\n";

const char kExtractHelp[] =
    "usage: spihost extract ARCHIVE [NAME...] [-C DIR] [--convert]\n"
    "\n"
    "Extracts every entry of a bind archive, or the named entries (names are matched\n"
    "without regard to case), into DIR (default: the current folder; created if missing).\n"
    "An entry the plug-in refuses to write, such as one whose name would leave DIR, is\n"
    "reported and skipped, and the exit status is then 1.\n"
    "\n"
    "  -C DIR      the folder to extract into\n"
    "  --convert   entries that a picture plug-in takes are decoded straight from memory\n"
    "              and written as PNG (NAME.b16 becomes NAME.png); the rest are written\n"
    "              as they are\n";

const char kConvertHelp[] =
    "usage: spihost convert PICTURE... [-o OUT | -C DIR] [--preview] [--format png|bmp]\n"
    "\n"
    "Decodes pictures through the picture plug-in and writes them top line first, as a\n"
    "viewer shows them: the full picture (640 x 448 for B16) or, with --preview, the\n"
    "preview (640 x 224). Each output is named after its input with the new extension,\n"
    "beside the input unless -C names a folder.\n"
    "\n"
    "  -o OUT            the output file (one picture only)\n"
    "  -C DIR            the folder for the outputs (created if missing)\n"
    "  --preview         the preview instead of the full picture\n"
    "  --format png|bmp  the output format (default png, or bmp when OUT ends in .bmp)\n";

struct Args {
    std::string plugins_folder;
    std::string command;
    std::vector<std::string> words; // everything after the command
};

int usage_error(const std::string &message) {
    std::fprintf(stderr, "spihost: %s\n(see 'spihost --help')\n", message.c_str());
    return kExitUsage;
}

bool wants_help(const std::vector<std::string> &words) {
    for (const std::string &w : words)
        if (w == "-h" || w == "--help") return true;
    return false;
}

// Loads the plug-ins from the named folder or from the first default folder that has any.
bool load_plugins(const Args &args, PluginSet *set) {
    std::string error;
    if (!args.plugins_folder.empty()) {
        if (set->load(args.plugins_folder, &error)) return true;
    } else {
        for (const std::string &folder : spihost::default_plugin_folders())
            if (set->load(folder, &error)) return true;
    }
    std::fprintf(stderr, "spihost: %s\n", error.c_str());
    return false;
}

std::string lower(std::string s) {
    for (char &c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// A name from an archive or a command line is used for a file only when it stays inside
// the folder it is written to.
bool safe_leaf_name(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}

std::string stem_of(const std::string &name) {
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
}

// The folder path as a plug-in expects it: ending in a separator, the one the path
// already uses if it uses one.
std::string with_separator(std::string folder) {
    if (folder.empty()) folder = ".";
    const char last = folder.back();
    if (last == '/' || last == '\\') return folder;
    const bool slashes = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    return folder + (slashes ? '/' : spihost::path_separator());
}

bool make_folder(const std::string &folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (fs::is_directory(folder, ec)) return true;
    std::fprintf(stderr, "spihost: cannot create the folder %s\n", folder.c_str());
    return false;
}

// Finds the plug-in that takes `path` and checks that it exports `required`.
const host::Plugin *plugin_for(const PluginSet &set, const std::string &path, const char *required,
                               const char *kind) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        std::fprintf(stderr, "spihost: %s: no such file\n", path.c_str());
        return nullptr;
    }
    const host::Plugin *plugin = set.pick_for_file(path);
    if (!plugin) {
        std::fprintf(stderr, "spihost: %s: no plug-in in %s takes this file\n", path.c_str(), set.folder().c_str());
        return nullptr;
    }
    if (!plugin->symbol(required)) {
        std::fprintf(stderr, "spihost: %s: taken by %s, which is not %s plug-in\n", path.c_str(),
                     plugin->file().c_str(), kind);
        return nullptr;
    }
    return plugin;
}

// ---------------------------------------------------------------------------------------
// A progress bar on stderr, only when stderr is a terminal and there is much to do.

class ProgressBar {
public:
    explicit ProgressBar(size_t total) : total_(total), shown_(total >= 10 && spihost::stderr_is_terminal()) {}
    ~ProgressBar() {
        if (shown_) std::fprintf(stderr, "\r%70s\r", "");
    }
    void step(size_t done, const char *name) {
        if (!shown_) return;
        const int width = 30;
        const int filled = static_cast<int>(width * done / total_);
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu %-14.14s", filled, "##############################", width - filled,
                     "", done, total_, name);
        std::fflush(stderr);
    }

private:
    size_t total_;
    bool shown_;
};

// ---------------------------------------------------------------------------------------
// Commands

int run_plugins(const Args &args) {
    if (wants_help(args.words)) return std::fputs(kPluginsHelp, stdout), kExitOk;
    if (!args.words.empty()) return usage_error("plugins takes no arguments");
    PluginSet set;
    if (!load_plugins(args, &set)) return kExitSomeFailed;
    for (const host::Plugin &plugin : set.plugins()) {
        std::printf("%s\n", fs::path(plugin.file()).filename().string().c_str());
        for (int32_t i = 0; i < 4; ++i) std::printf("  %d  %s\n", i, plugin.info(i).c_str());
    }
    return kExitOk;
}

// The entries of an archive through GetArchiveInfo, up to the zero end mark.
bool list_entries(const host::Plugin &plugin, const std::string &archive, std::vector<spi_entry_info> *entries) {
    HLOCAL list = nullptr;
    const spi_result r = plugin.get<spi_GetArchiveInfo>("GetArchiveInfo")(archive.c_str(), 0, 0, &list);
    if (r != 0) {
        std::fprintf(stderr, "spihost: %s: cannot list: %s\n", archive.c_str(), host::result_meaning(r));
        return false;
    }
    const std::vector<uint8_t> bytes = host::take_block(list);
    for (size_t at = 0; at + sizeof(spi_entry_info) <= bytes.size(); at += sizeof(spi_entry_info)) {
        spi_entry_info e;
        std::memcpy(&e, bytes.data() + at, sizeof e);
        if (e.method[0] == 0) break;
        e.file_name[sizeof e.file_name - 1] = '\0';
        entries->push_back(e);
    }
    return true;
}

void print_json_string(const char *s) {
    std::putchar('"');
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            std::printf("\\%c", *p);
        } else if (*p < 0x20 || *p >= 0x7F) {
            std::printf("\\u%04x", *p);
        } else {
            std::putchar(*p);
        }
    }
    std::putchar('"');
}

int run_list(const Args &args) {
    if (wants_help(args.words)) return std::fputs(kListHelp, stdout), kExitOk;
    bool json = false;
    std::vector<std::string> inputs;
    for (const std::string &w : args.words) {
        if (w == "--json") {
            json = true;
        } else if (w.size() > 1 && w[0] == '-') {
            return usage_error("list: unknown option " + w);
        } else {
            inputs.push_back(w);
        }
    }
    if (inputs.size() != 1) return usage_error("list takes one archive");
    PluginSet set;
    if (!load_plugins(args, &set)) return kExitSomeFailed;
    const host::Plugin *plugin = plugin_for(set, inputs[0], "GetArchiveInfo", "an archive");
    if (!plugin) return kExitSomeFailed;
    std::vector<spi_entry_info> entries;
    if (!list_entries(*plugin, inputs[0], &entries)) return kExitSomeFailed;

    if (json) {
        std::printf("[");
        for (size_t i = 0; i < entries.size(); ++i) {
            std::printf("%s\n  {\"name\": ", i ? "," : "");
            print_json_string(entries[i].file_name);
            std::printf(", \"size\": %u, \"position\": %u}", entries[i].size, entries[i].position);
        }
        std::printf("%s]\n", entries.empty() ? "" : "\n");
    } else {
        for (const spi_entry_info &e : entries) std::printf("%-14s %10u %10u\n", e.file_name, e.size, e.position);
    }
    return kExitOk;
}

// Takes over the two blocks of a decoded picture and writes it. False when the blocks
// hold no 24-bit bitmap or the file cannot be written.
bool write_picture(HLOCAL header, HLOCAL pixels, const std::string &path, ImageFormat format, spihost::Bitmap *bitmap) {
    const std::vector<uint8_t> header_bytes = host::take_block(header);
    const std::vector<uint8_t> pixel_bytes = host::take_block(pixels);
    return spihost::bitmap_from_blocks(header_bytes, pixel_bytes, bitmap) &&
           spihost::write_whole_file(path, spihost::encode_image(*bitmap, format));
}

// Decodes the picture in `bytes` with `plugin` and writes it as PNG; false with a message.
bool convert_from_memory(const host::Plugin &plugin, const std::vector<uint8_t> &bytes, const std::string &output) {
    HLOCAL header = nullptr, pixels = nullptr;
    const spi_result r = plugin.get<spi_GetPicture>("GetPicture")(reinterpret_cast<const char *>(bytes.data()),
                                                                  static_cast<spi_offset>(bytes.size()), kMemoryInput,
                                                                  &header, &pixels, nullptr, 0);
    if (r != 0) {
        std::fprintf(stderr, "spihost: %s: cannot decode: %s\n", output.c_str(), host::result_meaning(r));
        return false;
    }
    spihost::Bitmap bitmap;
    if (!write_picture(header, pixels, output, ImageFormat::png, &bitmap)) {
        std::fprintf(stderr, "spihost: %s: cannot write the picture\n", output.c_str());
        return false;
    }
    return true;
}

int run_extract(const Args &args) {
    if (wants_help(args.words)) return std::fputs(kExtractHelp, stdout), kExitOk;
    std::string folder = ".";
    bool convert = false;
    std::vector<std::string> inputs;
    for (size_t i = 0; i < args.words.size(); ++i) {
        const std::string &w = args.words[i];
        if (w == "-C") {
            if (++i == args.words.size()) return usage_error("extract: -C needs a folder");
            folder = args.words[i];
        } else if (w == "--convert") {
            convert = true;
        } else if (w.size() > 1 && w[0] == '-') {
            return usage_error("extract: unknown option " + w);
        } else {
            inputs.push_back(w);
        }
    }
    if (inputs.empty()) return usage_error("extract needs an archive");
    const std::string archive = inputs[0];
    const std::vector<std::string> names(inputs.begin() + 1, inputs.end());

    PluginSet set;
    if (!load_plugins(args, &set)) return kExitSomeFailed;
    const host::Plugin *plugin = plugin_for(set, archive, "GetArchiveInfo", "an archive");
    if (!plugin) return kExitSomeFailed;

    bool failed = false;
    std::vector<spi_entry_info> entries;
    if (names.empty()) {
        if (!list_entries(*plugin, archive, &entries)) return kExitSomeFailed;
    } else {
        auto get_info = plugin->get<spi_GetFileInfo>("GetFileInfo");
        for (const std::string &name : names) {
            spi_entry_info e;
            const spi_result r = get_info(archive.c_str(), 0, name.c_str(), kIgnoreCase, &e);
            if (r != 0) {
                std::fprintf(stderr, "spihost: %s: %s\n", name.c_str(), host::result_meaning(r));
                failed = true;
                continue;
            }
            e.file_name[sizeof e.file_name - 1] = '\0';
            entries.push_back(e);
        }
    }
    if (!make_folder(folder)) return kExitSomeFailed;

    auto get_file = plugin->get<spi_GetFile>("GetFile");
    std::string destination = with_separator(folder);
    size_t written = 0, pictures = 0, skipped = 0;
    ProgressBar bar(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const spi_entry_info &e = entries[i];
        bar.step(i, e.file_name);
        if (convert) {
            HLOCAL block = nullptr;
            const spi_result r = get_file(archive.c_str(), static_cast<spi_offset>(e.position),
                                          reinterpret_cast<char *>(&block), kMemoryOutput, nullptr, 0);
            if (r != 0) {
                std::fprintf(stderr, "spihost: skipped %s: %s\n", e.file_name, host::result_meaning(r));
                ++skipped;
                continue;
            }
            std::vector<uint8_t> bytes = host::take_block(block);
            bytes.resize(e.size); // an empty entry comes as one zero byte
            if (const host::Plugin *picture = set.pick_for_memory(e.file_name, bytes, "GetPicture")) {
                const std::string png = stem_of(e.file_name) + ".png";
                if (!safe_leaf_name(png)) {
                    std::fprintf(stderr, "spihost: skipped %s: its name would leave the folder\n", e.file_name);
                    ++skipped;
                    continue;
                }
                if (convert_from_memory(*picture, bytes, destination + png)) {
                    ++pictures;
                    continue;
                }
                // Not a picture after all: it is written as it is.
            }
        }
        const spi_result r =
            get_file(archive.c_str(), static_cast<spi_offset>(e.position), &destination[0], 0, nullptr, 0);
        if (r != 0) {
            std::fprintf(stderr, "spihost: skipped %s: %s\n", e.file_name, host::result_meaning(r));
            ++skipped;
            continue;
        }
        ++written;
    }
    bar.step(entries.size(), "");
    if (convert) {
        std::printf("%s: %zu entries written, %zu pictures converted to PNG, into %s\n", archive.c_str(), written,
                    pictures, folder.c_str());
    } else {
        std::printf("%s: %zu entries extracted into %s\n", archive.c_str(), written, folder.c_str());
    }
    if (skipped) std::fprintf(stderr, "spihost: %zu entries skipped\n", skipped);
    return (failed || skipped) ? kExitSomeFailed : kExitOk;
}

int run_convert(const Args &args) {
    if (wants_help(args.words)) return std::fputs(kConvertHelp, stdout), kExitOk;
    std::string output, folder, format_name;
    bool preview = false;
    std::vector<std::string> inputs;
    for (size_t i = 0; i < args.words.size(); ++i) {
        const std::string &w = args.words[i];
        if (w == "-o" || w == "-C" || w == "--format") {
            if (i + 1 == args.words.size()) return usage_error("convert: " + w + " needs a value");
            (w == "-o" ? output : w == "-C" ? folder : format_name) = args.words[++i];
        } else if (w == "--preview") {
            preview = true;
        } else if (w.size() > 1 && w[0] == '-') {
            return usage_error("convert: unknown option " + w);
        } else {
            inputs.push_back(w);
        }
    }
    if (inputs.empty()) return usage_error("convert needs a picture");
    if (!output.empty() && !folder.empty()) return usage_error("convert: -o and -C exclude each other");
    if (!output.empty() && inputs.size() != 1) return usage_error("convert: -o takes one picture only");
    ImageFormat format = ImageFormat::png;
    if (format_name.empty()) {
        const std::string o = lower(output);
        if (o.size() >= 4 && o.compare(o.size() - 4, 4, ".bmp") == 0) format = ImageFormat::bmp;
    } else if (format_name == "bmp") {
        format = ImageFormat::bmp;
    } else if (format_name != "png") {
        return usage_error("convert: --format is png or bmp");
    }
    const char *extension = format == ImageFormat::png ? ".png" : ".bmp";

    PluginSet set;
    if (!load_plugins(args, &set)) return kExitSomeFailed;
    if (!folder.empty() && !make_folder(folder)) return kExitSomeFailed;

    bool failed = false;
    for (const std::string &input : inputs) {
        const host::Plugin *plugin = plugin_for(set, input, "GetPicture", "a picture");
        if (!plugin) {
            failed = true;
            continue;
        }
        HLOCAL header = nullptr, pixels = nullptr;
        auto decode = plugin->get<spi_GetPicture>(preview ? "GetPreview" : "GetPicture");
        const spi_result r = decode ? decode(input.c_str(), 0, 0, &header, &pixels, nullptr, 0) : -1;
        if (r != 0) {
            std::fprintf(stderr, "spihost: %s: cannot decode: %s\n", input.c_str(), host::result_meaning(r));
            failed = true;
            continue;
        }
        const fs::path in(input);
        std::string target = output;
        if (target.empty()) {
            const std::string dir = folder.empty() ? in.parent_path().string() : folder;
            const std::string name = in.stem().string() + extension;
            target = dir.empty() ? name : with_separator(dir) + name;
        }
        spihost::Bitmap bitmap;
        if (!write_picture(header, pixels, target, format, &bitmap)) {
            std::fprintf(stderr, "spihost: %s: cannot write %s\n", input.c_str(), target.c_str());
            failed = true;
            continue;
        }
        std::printf("%s -> %s (%d x %d)\n", input.c_str(), target.c_str(), bitmap.width, bitmap.height);
    }
    return failed ? kExitSomeFailed : kExitOk;
}

} // namespace

int main(int argc, char **argv) {
    Args args;
    for (int i = 1; i < argc; ++i) {
        const std::string w = argv[i];
        if (w == "--plugins") {
            if (++i == argc) return usage_error("--plugins needs a folder");
            args.plugins_folder = argv[i];
        } else if (args.command.empty() && (w == "-h" || w == "--help" || w == "help")) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (args.command.empty()) {
            if (w[0] == '-') return usage_error("unknown option " + w);
            args.command = w;
        } else {
            args.words.push_back(w);
        }
    }
    if (args.command.empty()) return usage_error("no command given");
    if (args.command == "plugins") return run_plugins(args);
    if (args.command == "list") return run_list(args);
    if (args.command == "extract") return run_extract(args);
    if (args.command == "convert") return run_convert(args);
    return usage_error("unknown command " + args.command);
}
