// HM_Plugin.ini beside the plugin library, read with the profile API.
#pragma once

#include <windows.h>

#include <string>

#include "core/config.h"

namespace hm {

// The full file name of the module that holds this code (the plugin DLL, or a test program
// that links the plugin's code statically).
// Full path of a module's file (null: the host executable); empty on failure.
std::wstring ModuleFileName(HMODULE module);
std::wstring OwnModuleFileName();

// GetPrivateProfileStringW on section HM_Plugin of `iniPath`.
IniReader ProfileIniReader(std::wstring iniPath);

// %LOCALAPPDATA% from the known-folder lookup; throws WinApiFailure.
std::wstring LocalAppDataFolder();

}  // namespace hm
