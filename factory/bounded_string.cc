#include "factory/bounded_string.h"

#include <cstring>

#include "platform/platform.h"

namespace rodarove {

namespace {

// Length of text within its first size bytes; size when it has no
// terminator there, so a destination is never read past its size.
size_t BoundedLength(const char* text, int32_t size) {
  const void* end = std::memchr(text, '\0', static_cast<size_t>(size));
  return end == nullptr ? static_cast<size_t>(size) : static_cast<const char*>(end) - text;
}

int32_t SafeVFormatImpl(char* buf, int32_t size, int32_t count, const char* format,
                        va_list* args) {
  if (buf == nullptr || size <= 0 || (count <= 0 && count != -1) || format == nullptr ||
      args == nullptr) {
    return -1;
  }
  int32_t n = (count == -1 || count > size - 1) ? size - 1 : count;
  va_list copy;
  va_copy(copy, *args);
  int result = platform::VFormat(buf, static_cast<size_t>(n), format, copy);
  va_end(copy);
  buf[n] = '\0';
  return result;
}

int32_t SafeAppendImpl(char* dst, int32_t size, const char* src) {
  if (dst == nullptr || size <= 0 || src == nullptr) return size == 0 ? kErange : kEinval;
  size_t have = BoundedLength(dst, size);
  size_t add = std::strlen(src);
  if (have + add + 1 > static_cast<size_t>(size)) return kErange;
  std::memcpy(dst + have, src, add + 1);
  return 0;
}

int32_t SafeCopyNImpl(char* dst, int32_t size, const char* src, int32_t count) {
  if (dst == nullptr || size <= 0 || src == nullptr || count <= 0) return kEinval;
  if (count > size - 1) {
    dst[0] = '\0';
    return kEinval;
  }
  std::strncpy(dst, src, static_cast<size_t>(count));
  dst[count] = '\0';
  return 0;
}

int32_t SafeCopyImpl(char* dst, int32_t size, const char* src) {
  if (dst == nullptr || size <= 0 || src == nullptr) return size == 0 ? kErange : kEinval;
  size_t len = std::strlen(src);
  if (len > static_cast<size_t>(size) - 1) return kErange;
  std::memcpy(dst, src, len + 1);
  return 0;
}

}  // namespace

const BoundedStringPrimitives BoundedStringTable = {SafeVFormatImpl, SafeAppendImpl,
                                                    SafeCopyNImpl, SafeCopyImpl};

int32_t Fits(const char* text, int32_t size) {
  return text != nullptr && size > 0 && std::strlen(text) < static_cast<size_t>(size) ? 1 : 0;
}

int32_t Copy(char* dst, int32_t dstSize, const char* src) {
  if (dst == nullptr || dstSize <= 0 || src == nullptr || Fits(src, dstSize) == 0) return 0;
  BoundedStringTable.SafeCopy(dst, dstSize, src);
  return 1;
}

int32_t CopyN(char* dst, int32_t dstSize, const char* src, int32_t count) {
  if (dst == nullptr || count <= 0 || src == nullptr || dstSize <= count) return 0;
  BoundedStringTable.SafeCopyN(dst, dstSize, src, count);
  dst[count] = '\0';
  return 1;
}

int32_t Append(char* dst, int32_t dstSize, const char* src) {
  if (dst == nullptr || dstSize <= 0 || src == nullptr) return 0;
  if (BoundedLength(dst, dstSize) + std::strlen(src) >= static_cast<size_t>(dstSize)) return 0;
  BoundedStringTable.SafeAppend(dst, dstSize, src);
  return 1;
}

int32_t FormatBounded(char* buf, int32_t size, int32_t count, const char* format, ...) {
  if (buf == nullptr || size <= 0 || count <= 0 || format == nullptr) return -1;
  int32_t n = size - 1 < count ? size - 1 : count;
  va_list args;
  va_start(args, format);
  int result = platform::VFormat(buf, static_cast<size_t>(n), format, args);
  va_end(args);
  buf[n] = '\0';
  return result;
}

void FactoryDebugPrint(const char* format, ...) {
  char buffer[1024];
  std::memset(buffer, 0, sizeof buffer);
  va_list args;
  va_start(args, format);
  BoundedStringTable.SafeVFormat(buffer, 1023, 1023, format, &args);
  va_end(args);
  platform::OutputDebugString(buffer);
}

}  // namespace rodarove
