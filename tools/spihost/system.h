// The few things spihost needs from the operating system beyond standard C++.
#ifndef TOOLS_SPIHOST_SYSTEM_H
#define TOOLS_SPIHOST_SYSTEM_H

#include <stdint.h>

#include <string>
#include <vector>

#include "frame/spi_abi.h"

namespace spihost {

// The folder holding the running program.
std::string program_folder();

// The names of the files in a folder that end in `suffix` (any case), sorted.
std::vector<std::string> files_ending_in(const std::string &folder, const std::string &suffix);

// The separator that ends a directory path handed to a plug-in.
char path_separator();

bool stderr_is_terminal();

bool write_whole_file(const std::string &path, const std::vector<uint8_t> &bytes);

} // namespace spihost

#endif
