#pragma once

// The engine interface uses the platform's default calling convention: on
// x86_64 Windows there is only one.
extern "C" {
// The compatibility text a host compares with its own before binding.
const char* QsGetCmptlNo();
// The library's version banner.
const char* QsGetTextVersion();
}
