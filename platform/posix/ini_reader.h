// A reader of ini files with the results of Win32's GetPrivateProfileStringA,
// written in portable C++ (standard library only) so that any program can
// compile it.
//
// The format: "[name]" starts a section (text after the ']' is ignored),
// "key=value" is an entry, a line whose first non-blank character is ';' is
// a comment; other lines are ignored. Section and key names are compared
// without regard to ASCII case; blanks around names and values are dropped,
// and one pair of matching quotes (' or ") around the whole value is
// removed. Only the first section of a name is searched, and the first
// matching key in it wins. CRLF and LF line ends both work.
#ifndef RODAROVE_PLATFORM_POSIX_INI_READER_H_
#define RODAROVE_PLATFORM_POSIX_INI_READER_H_

namespace rodarove {
namespace platform {

// Copies the value of key in section of file into out, or defaultValue
// (null meaning empty, trailing spaces dropped) when the file, the section
// or the key is missing. The text is cut to size - 1 characters and always
// terminated; returns the number of characters copied. Writes nothing and
// returns 0 when out is null or size is 0. Listing sections or keys (null
// section or key) is not offered: out is emptied and 0 returned.
// Never throws; reads no further than the file's bytes.
unsigned ReadIniString(const char* section, const char* key, const char* defaultValue,
                       char* out, unsigned size, const char* file);

}  // namespace platform
}  // namespace rodarove

#endif  // RODAROVE_PLATFORM_POSIX_INI_READER_H_
