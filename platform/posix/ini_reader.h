// A reader of ini files with the results of Win32's GetPrivateProfileStringA,
// written in portable C++ (standard library only) so that any program can
// compile it.
//
// The format: a line is ended by '\n' or '\r'. "[name]" starts a section
// (the name ends at the line's last ']'; text after it is ignored),
// "key=value" is an entry, and any other line is a key without a value,
// which hides later keys of its name. ';' starts no comment: a line
// ";x=1" is the key ";x". Lines before the first section form a nameless
// section. Only regular files are read: a folder, a device or a pipe counts
// as a missing file. Section and key names, also the ones asked for, are compared
// without regard to ASCII case and without their surrounding blanks; blanks
// around values are dropped, and matching quotes (' or ") around a value
// are removed; as on Windows, a buffer whose size equals the length of the
// value with one of its quotes gets one character less. Only the first
// section of a name is searched, and the first matching key in it wins.
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
// Never throws and allocates nothing: the file is read in blocks, and
// however long a line is, the reader keeps only the part of the value that
// fits in out and a few counters.
unsigned ReadIniString(const char* section, const char* key, const char* defaultValue,
                       char* out, unsigned size, const char* file);

}  // namespace platform
}  // namespace rodarove

#endif  // RODAROVE_PLATFORM_POSIX_INI_READER_H_
