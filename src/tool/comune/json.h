#pragma once
#include <string>
#include <string_view>

// A JSON string literal (quotes included) for UTF-8 text; bytes that are not
// UTF-8 (a file name in another code page) are read as Windows-1252, so the
// literal is always valid UTF-8.
std::string json_testo(std::string_view utf8);
