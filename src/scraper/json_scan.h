// Reads single members out of a JSON object without building a tree: the
// TMDb answers are large and only a few top-level strings are wanted.
#pragma once

#include <cstddef>
#include <string>

namespace dp {

// The position of the value of the member named key (raw bytes, no
// unescaping) in the object that starts at text, one level deep; nullptr when
// there is none or the text ends early.
const char* JsonFindMember(const char* text, const char* key);

// Past the white space (space, tab, line feed, carriage return) at p.
const char* JsonSkipSpace(const char* p);

// Past the value that starts at p (object, array, string or bare word);
// nullptr when the text ends inside it.
const char* JsonSkipValue(const char* p);

// Decodes the string member key into out as UTF-8, cut to out_size - 1 bytes
// at a character boundary. Returns 1 when the member is a string, else 0 with
// out empty.
int JsonGetString(const char* text, const char* key, std::string& out, std::size_t out_size);

}  // namespace dp
