// What the libjpeg-turbo adapters share: errors that return to the caller
// instead of ending the process.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace mediastack {

struct JpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// Installs the error handler: a fatal libjpeg error long-jumps to jump.
jpeg_error_mgr* InstallJpegErrors(JpegError& error);

}  // namespace mediastack
