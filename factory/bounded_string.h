// Bounded operations on 8-bit zero-terminated strings. Every operation takes
// the destination's size in bytes (terminator included) and writes nothing,
// or only an empty string, when the result would not fit. None allocates.
#ifndef RODAROVE_FACTORY_BOUNDED_STRING_H_
#define RODAROVE_FACTORY_BOUNDED_STRING_H_

#include <cstdarg>
#include <cstdint>

namespace rodarove {

constexpr int32_t kEinval = 22;
constexpr int32_t kErange = 34;

// The four primitives, reached by every caller through BoundedStringTable.
struct BoundedStringPrimitives {
  // count: most characters to write, or -1 for as many as fit. Returns what
  // _vsnprintf returns, or -1 when refused.
  int32_t (*SafeVFormat)(char* buf, int32_t size, int32_t count, const char* format,
                         va_list* args);
  int32_t (*SafeAppend)(char* dst, int32_t size, const char* src);            // 0, 22, 34
  int32_t (*SafeCopyN)(char* dst, int32_t size, const char* src, int32_t count);  // 0, 22
  int32_t (*SafeCopy)(char* dst, int32_t size, const char* src);              // 0, 22, 34
};

extern const BoundedStringPrimitives BoundedStringTable;

// 1 when text is not null and shorter than size.
int32_t Fits(const char* text, int32_t size);
// 1/0: copies src whole.
int32_t Copy(char* dst, int32_t dstSize, const char* src);
// 1/0: copies the first count characters of src and terminates.
int32_t CopyN(char* dst, int32_t dstSize, const char* src, int32_t count);
// 1/0: appends src whole.
int32_t Append(char* dst, int32_t dstSize, const char* src);

// Formats at most size - 1 and at most count characters and terminates;
// returns what _vsnprintf returns (-1 when cut), or -1 when refused.
int32_t FormatBounded(char* buf, int32_t size, int32_t count, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

// The factory link's debugger output: at most 1022 characters, no line end
// added.
void FactoryDebugPrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace rodarove

#endif  // RODAROVE_FACTORY_BOUNDED_STRING_H_
