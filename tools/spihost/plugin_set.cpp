#include "tools/spihost/plugin_set.h"

#include <algorithm>

#include "tools/spihost/system.h"

namespace spihost {

bool PluginSet::load(const std::string &folder, std::string *error) {
    folder_ = folder;
    plugins_.clear();
    for (const std::string &name : files_ending_in(folder, ".spi")) {
        std::string file = folder + path_separator() + name;
#if !defined(_WIN32)
        // dlopen looks a bare name up in the library path, not in the current folder.
        if (file.find('/') == std::string::npos) file = "./" + file;
#endif
        host::Plugin plugin(file);
        if (plugin.loaded() && plugin.symbol("GetPluginInfo") && plugin.symbol("IsSupported"))
            plugins_.push_back(std::move(plugin));
    }
    if (plugins_.empty()) {
        *error = "no plug-ins (*.spi) could be loaded from " + folder;
        return false;
    }
    return true;
}

const host::Plugin *PluginSet::pick_for_file(const std::string &path) const {
    for (const host::Plugin &plugin : plugins_) {
        host::FileHandle handle(path);
        if (!handle.valid()) return nullptr;
        if (plugin.get<spi_IsSupported>("IsSupported")(path.c_str(), handle.value()) == 1) return &plugin;
    }
    return nullptr;
}

const host::Plugin *PluginSet::pick_for_memory(const std::string &name, const std::vector<uint8_t> &bytes,
                                               const char *required) const {
    std::vector<uint8_t> first(2048, 0);
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), first.size()), first.begin());
    const spi_source source = reinterpret_cast<spi_source>(first.data());
    for (const host::Plugin &plugin : plugins_) {
        if (!plugin.symbol(required)) continue;
        if (plugin.get<spi_IsSupported>("IsSupported")(name.c_str(), source) == 1) return &plugin;
    }
    return nullptr;
}

std::vector<std::string> default_plugin_folders() {
#if defined(_WIN32)
    const char *tree = "build\\win32";
#else
    const char *tree = "build/native";
#endif
    return {program_folder(), tree};
}

} // namespace spihost
