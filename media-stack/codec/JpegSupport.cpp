#include "media-stack/codec/JpegSupport.h"

namespace mediastack {

namespace {

void ErrorExit(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    std::longjmp(error->jump, 1);
}

// Warnings (a truncated file, extra bytes) are not reported: the picture
// decodes as far as its data goes.
void Quiet(j_common_ptr, int) {}

}  // namespace

jpeg_error_mgr* InstallJpegErrors(JpegError& error)
{
    jpeg_std_error(&error.manager);
    error.manager.error_exit = ErrorExit;
    error.manager.emit_message = Quiet;
    return &error.manager;
}

}  // namespace mediastack
