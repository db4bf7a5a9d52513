#include "platform/Platform.h"

#include <cerrno>
#include <charconv>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "platform/PlatformDetail.h"

namespace tavrin::platform {

namespace fs = std::filesystem;

std::size_t NameLength(const fs::path& name) {
#if defined(_WIN32)
    return name.filename().wstring().size();
#else
    return name.filename().native().size();
#endif
}

Lock::Lock(Lock&& other) noexcept
    : file_(std::move(other.file_)), folder_(std::move(other.folder_)), name_(std::move(other.name_)) {}

Lock& Lock::operator=(Lock&& other) noexcept {
    if (this != &other) {
        Lock gone(std::move(*this));
        file_ = std::move(other.file_);
        folder_ = std::move(other.folder_);
        name_ = std::move(other.name_);
    }
    return *this;
}

}  // namespace tavrin::platform
