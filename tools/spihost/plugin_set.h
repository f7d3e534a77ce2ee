// The plug-ins of one folder, and the choice of a plug-in for a file, made the way a
// host makes it: each library's IsSupported is asked in file-name order and the first
// that answers 1 takes the file.
#ifndef TOOLS_SPIHOST_PLUGIN_SET_H
#define TOOLS_SPIHOST_PLUGIN_SET_H

#include <stdint.h>

#include <string>
#include <vector>

#include "tools/host/plugin_library.h"

namespace spihost {

class PluginSet {
public:
    // Loads every *.spi of the folder. False, with a message, when none loads.
    bool load(const std::string &folder, std::string *error);

    const std::vector<host::Plugin> &plugins() const { return plugins_; }
    const std::string &folder() const { return folder_; }

    // Asks with an open handle to the file (a fresh one for each plug-in, since asking
    // may read from it). Null when no plug-in takes the file.
    const host::Plugin *pick_for_file(const std::string &path) const;

    // Asks with a pointer to the first 2,048 bytes (zero-padded), for data in memory
    // that has the given name. Only plug-ins that export `required` are asked.
    const host::Plugin *pick_for_memory(const std::string &name, const std::vector<uint8_t> &bytes,
                                        const char *required) const;

private:
    std::string folder_;
    std::vector<host::Plugin> plugins_;
};

// Where plug-ins are looked for when no folder is named: the program's own folder, then
// build/<tree>/ below the current directory.
std::vector<std::string> default_plugin_folders();

} // namespace spihost

#endif
