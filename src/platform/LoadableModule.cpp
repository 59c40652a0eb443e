// SPDX-License-Identifier: MIT
#include "platform/LoadableModule.h"

#include <dlfcn.h>

#include <system_error>

namespace torvash {

namespace {

std::string lastLoaderError()
{
    const char* error = ::dlerror();
    return error != nullptr ? error : "unknown error";
}

} // namespace

LoadableModule::LoadableModule(const std::filesystem::path& file)
{
    // Resolving every symbol now makes a module that does not fit fail here, with a message, rather
    // than at some later call.
    m_handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
        m_error = lastLoaderError();
}

void* LoadableModule::symbol(const char* name)
{
    if (m_handle == nullptr)
        return nullptr;
    ::dlerror();
    void* found = ::dlsym(m_handle, name);
    if (found == nullptr)
        m_error = lastLoaderError();
    return found;
}

std::filesystem::path ExecutableFolder()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

} // namespace torvash
