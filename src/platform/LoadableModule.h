// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace torvash {

/**
 * A shared library opened while the program runs, so that a program need not load at start what only
 * one of its modes uses. Once open it stays loaded until the process ends: threads it started and exit
 * handlers it registered may still run its code.
 */
class LoadableModule
{
public:
    explicit LoadableModule(const std::filesystem::path& file);

    /** The function exported under `name`, or null with error() saying why. */
    template <typename Function> Function* function(const char* name)
    {
        return reinterpret_cast<Function*>(symbol(name));
    }

    /** Why the module or a function of it could not be found; empty while all went well. */
    [[nodiscard]] const std::string& error() const { return m_error; }

private:
    void* symbol(const char* name);

    void* m_handle = nullptr;
    std::string m_error;
};

/** The folder holding the running program's executable file; empty when it cannot be told. */
std::filesystem::path ExecutableFolder();

} // namespace torvash
