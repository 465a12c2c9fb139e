// Labels of the front end's window, drawn with FreeType into textures.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace vrec::frontend {

class TextPainter
{
public:
    TextPainter(SDL_Renderer* renderer, const std::string& fontPath, int pixelSize);
    ~TextPainter();
    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    bool ok() const { return face_ != nullptr; }
    // Draws text with its top-left at (x, y); returns its width.
    int Draw(int x, int y, const std::string& text, uint32_t rgb);
    int lineHeight() const { return lineHeight_; }

private:
    struct Label
    {
        SDL_Texture* texture = nullptr;
        int width = 0;
        int height = 0;
    };
    Label Make(const std::string& text, uint32_t rgb);

    SDL_Renderer* renderer_;
    FT_LibraryRec_* library_ = nullptr;
    FT_FaceRec_* face_ = nullptr;
    int lineHeight_ = 0;
    int ascender_ = 0;
    std::unordered_map<std::string, Label> cache_;
};

}  // namespace vrec::frontend
