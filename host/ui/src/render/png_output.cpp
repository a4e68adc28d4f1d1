#include "render/cairo_renderer.h"

#include "core/handles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kavu::ui {

namespace {
using CairoSurface = Handle<cairo_surface_t, cairo_surface_destroy>;
}

kavu::Result<std::vector<uint8_t>> encode_pixels_png(const CairoRenderer::Pixels& pixels) {
    CairoSurface surface(cairo_image_surface_create_for_data(const_cast<uint8_t*>(pixels.data.data()),
                                                             CAIRO_FORMAT_ARGB32, pixels.width, pixels.height,
                                                             pixels.stride));
    std::vector<uint8_t> out;
    auto status = cairo_surface_write_to_png_stream(
        surface.get(),
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(closure);
            bytes->insert(bytes->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &out);
    if (status != CAIRO_STATUS_SUCCESS)
        return kavu::make_error(std::string("cannot encode PNG: ") + cairo_status_to_string(status));
    return out;
}

kavu::Result<void> write_file_atomically(const std::filesystem::path& path,
                                         const std::vector<uint8_t>& bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return kavu::make_error("cannot write " + path.string() + ": " + std::strerror(errno));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return kavu::make_error("cannot write " + path.string() + ": " + why);
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        return kavu::make_error("cannot write " + path.string() + ": " + why);
    }
    return {};
}

} // namespace kavu::ui
