#include "frame/plugin_contract.h"

int32_t copy_plugin_info(const PluginInfoTable &table, int32_t index, char *buffer, int32_t buffer_size) {
    if (static_cast<uint32_t>(index) >= 4u) return 0;
    if (!buffer || buffer_size <= 0) return 0;
    const char *s = table.strings[index];
    const int32_t with_terminator = lstrlenA(s) + 1;
    const int32_t written = with_terminator <= buffer_size ? with_terminator : buffer_size;
    lstrcpynA(buffer, s, written);
    return written;
}

int report_progress(spi_progress progress, int32_t numerator, int32_t denominator, spi_user user_value) {
    if (!progress) return 0;
    return progress(numerator, denominator, user_value) != 0;
}

spi_result alloc_locked_block(UINT flags, SIZE_T size, HLOCAL *handle, void **data) {
    HLOCAL block = LocalAlloc(flags | LMEM_ZEROINIT, size);
    if (!block) return SPI_ALLOC_FAILED;
    void *p = LocalLock(block);
    if (!p) {
        LocalFree(block);
        return SPI_LOCK_FAILED;
    }
    *handle = block;
    *data = p;
    return SPI_OK;
}

void discard_block(HLOCAL handle) {
    LocalUnlock(handle);
    LocalFree(handle);
}
