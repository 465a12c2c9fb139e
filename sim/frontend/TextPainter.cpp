#include "sim/frontend/TextPainter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <vector>

namespace vrec::frontend {

TextPainter::TextPainter(SDL_Renderer* renderer, const std::string& fontPath, int pixelSize) : renderer_(renderer)
{
    if (FT_Init_FreeType(&library_) != 0)
        return;
    if (FT_New_Face(library_, fontPath.c_str(), 0, &face_) != 0) {
        face_ = nullptr;
        return;
    }
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize));
    ascender_ = static_cast<int>(face_->size->metrics.ascender >> 6);
    lineHeight_ = static_cast<int>(face_->size->metrics.height >> 6);
}

TextPainter::~TextPainter()
{
    for (auto& entry : cache_)
        SDL_DestroyTexture(entry.second.texture);
    if (face_)
        FT_Done_Face(face_);
    if (library_)
        FT_Done_FreeType(library_);
}

TextPainter::Label TextPainter::Make(const std::string& text, uint32_t rgb)
{
    Label label;
    int width = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face_, c, FT_LOAD_DEFAULT) == 0)
            width += static_cast<int>(face_->glyph->advance.x >> 6);
    }
    label.width = std::max(width, 1);
    // Room below the line for underscores and descenders of tight faces.
    label.height = std::max(lineHeight_ + 3, 1);
    std::vector<uint32_t> pixels(static_cast<size_t>(label.width) * label.height, rgb & 0xFFFFFF);
    int pen = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face_, c, FT_LOAD_RENDER) != 0)
            continue;
        FT_GlyphSlot g = face_->glyph;
        for (unsigned row = 0; row < g->bitmap.rows; ++row)
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                int x = pen + g->bitmap_left + static_cast<int>(col);
                int y = ascender_ - g->bitmap_top + static_cast<int>(row);
                if (x < 0 || y < 0 || x >= label.width || y >= label.height)
                    continue;
                uint32_t alpha = g->bitmap.buffer[row * static_cast<unsigned>(g->bitmap.pitch) + col];
                uint32_t& p = pixels[static_cast<size_t>(y) * label.width + x];
                p = std::max(p >> 24, alpha) << 24 | (rgb & 0xFFFFFF);
            }
        pen += static_cast<int>(g->advance.x >> 6);
    }
    label.texture =
        SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, label.width, label.height);
    if (label.texture) {
        SDL_UpdateTexture(label.texture, nullptr, pixels.data(), label.width * 4);
        SDL_SetTextureBlendMode(label.texture, SDL_BLENDMODE_BLEND);
    }
    return label;
}

int TextPainter::Draw(int x, int y, const std::string& text, uint32_t rgb)
{
    if (!face_ || text.empty())
        return 0;
    std::string key = std::to_string(rgb) + ":" + text;
    auto it = cache_.find(key);
    if (it == cache_.end()) {
        if (cache_.size() > 400) {
            for (auto& entry : cache_)
                SDL_DestroyTexture(entry.second.texture);
            cache_.clear();
        }
        it = cache_.emplace(key, Make(text, rgb)).first;
    }
    const Label& label = it->second;
    SDL_Rect to{x, y, label.width, label.height};
    if (label.texture)
        SDL_RenderCopy(renderer_, label.texture, nullptr, &to);
    return label.width;
}

}  // namespace vrec::frontend
