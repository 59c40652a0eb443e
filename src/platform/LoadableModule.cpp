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
    // Functions are bound at their first call: binding all of them now, in the module and in every
    // library it brings along, would add a good part of the loading time to every start.
    m_handle = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
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
