#include "sim/board/camera/CameraControl.h"

#include <cstring>

namespace vrec::board {

namespace {

void Choose(Camera& camera, CameraSourceKind kind)
{
    camera.source = kind;
    camera.sourceChanges.fetch_add(1);
}

}  // namespace

void SetCameraScene(Camera& camera)
{
    Choose(camera, kCameraScene);
}

void SetCameraBars(Camera& camera)
{
    Choose(camera, kCameraBars);
}

bool SetCameraFile(Camera& camera, const std::string& path)
{
    if (path.empty() || path.size() >= sizeof(camera.file))
        return false;
    std::memset(camera.file, 0, sizeof(camera.file));
    std::memcpy(camera.file, path.data(), path.size());
    Choose(camera, kCameraFile);
    return true;
}

void SetCameraHost(Camera& camera)
{
    Choose(camera, kCameraHost);
}

std::string CameraSourceName(const Camera& camera)
{
    switch (camera.source.load()) {
    case kCameraBars: return "bars";
    case kCameraFile: {
        char path[kCameraPathSize];
        std::memcpy(path, camera.file, sizeof(path));
        path[kCameraPathSize - 1] = 0;
        return std::string("file ") + path;
    }
    case kCameraHost: return "host";
    default: return "scene";
    }
}

}  // namespace vrec::board
