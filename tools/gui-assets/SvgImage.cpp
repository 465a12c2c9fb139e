#include "tools/gui-assets/SvgImage.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <memory>

namespace vrec::tools {

namespace {

struct SurfaceDeleter
{
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter
{
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct HandleDeleter
{
    void operator()(RsvgHandle* h) const { g_object_unref(h); }
};

uint8_t Over(unsigned premultiplied, unsigned alpha, unsigned matte)
{
    // premultiplied + matte * (1 - alpha), rounded
    return static_cast<uint8_t>((premultiplied * 255 + matte * (255 - alpha) + 127) / 255);
}

// The firmware turns (R, G, B) into RGB565 by truncation; only pure
// magenta with green below 5 lands on the key.
bool LandsOnKey(const Rgb& p)
{
    return p.r == 255 && p.b == 255 && p.g * 63 / 255 == 0;
}

}  // namespace

bool RenderSvg(const std::string& svgPath, const ImageEntry& entry, Picture& out, std::string* why)
{
    GError* error = nullptr;
    std::unique_ptr<RsvgHandle, HandleDeleter> handle(rsvg_handle_new_from_file(svgPath.c_str(), &error));
    if (!handle) {
        *why = svgPath + ": " + (error ? error->message : "cannot read the drawing");
        if (error)
            g_error_free(error);
        return false;
    }
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, entry.width, entry.height));
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    RsvgRectangle viewport{0, 0, static_cast<double>(entry.width), static_cast<double>(entry.height)};
    if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error)) {
        *why = svgPath + ": " + (error ? error->message : "cannot render the drawing");
        if (error)
            g_error_free(error);
        return false;
    }
    cairo_surface_flush(surface.get());

    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned mr = (entry.matte >> 16) & 0xFF, mg = (entry.matte >> 8) & 0xFF, mb = entry.matte & 0xFF;
    out = Picture(entry.width, entry.height);
    for (int y = 0; y < entry.height; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < entry.width; ++x) {
            uint32_t argb = row[x];
            unsigned a = argb >> 24;
            Rgb& p = out.at(x, y);
            if (entry.keyed && a < 128) {
                p = kColourKey;
                continue;
            }
            p.r = Over((argb >> 16) & 0xFF, a, mr);
            p.g = Over((argb >> 8) & 0xFF, a, mg);
            p.b = Over(argb & 0xFF, a, mb);
            if (LandsOnKey(p))
                p.g = 8;  // a drawn pixel must never turn see-through
        }
    }
    return true;
}

}  // namespace vrec::tools
