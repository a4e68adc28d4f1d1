#include <blobstore/blob_info.h>

#include <cstddef>
#include <cstdint>

// Any bytes: sniff must neither read past them nor fail. A recognised
// format never reports a size for a non-image type.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto info = blobstore::sniff({data, size});
    if (!info.is_image() && (info.width != 0 || info.height != 0))
        __builtin_trap();
    return 0;
}
