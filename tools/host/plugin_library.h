// Loading a plug-in library by file and taking over the blocks it hands out, as a plug-in
// host does; shared by spihost and the tests.
#ifndef TOOLS_HOST_PLUGIN_LIBRARY_H
#define TOOLS_HOST_PLUGIN_LIBRARY_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "frame/spi_abi.h"

namespace host {

class Plugin {
public:
    explicit Plugin(const std::string &file);
    ~Plugin();
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;
    Plugin(Plugin &&other) noexcept;

    bool loaded() const { return handle_ != nullptr; }
    const std::string &file() const { return file_; }
    // The export of that name, or null.
    void *symbol(const char *name) const;
    template <class F> F get(const char *name) const { return reinterpret_cast<F>(symbol(name)); }

    // Information string `index`, or "" when there is none.
    std::string info(int32_t index) const;

private:
    std::string file_;
    void *handle_;
};

// An open file handle as a host hands it to IsSupported: a HANDLE on Windows, a file
// descriptor elsewhere (0 when the file cannot be opened). Closed on destruction.
class FileHandle {
public:
    explicit FileHandle(const std::string &path);
    ~FileHandle();
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    bool valid() const { return value_ != 0; }
    spi_source value() const { return value_; }
    // The handle's current file position.
    uint64_t position() const;

private:
    spi_source value_;
};

// Locks a block the plug-in handed over, copies its bytes out, unlocks and frees it.
std::vector<uint8_t> take_block(HLOCAL block);

// The meaning of a result code, as a sentence fragment for messages.
const char *result_meaning(spi_result code);

} // namespace host

#endif
