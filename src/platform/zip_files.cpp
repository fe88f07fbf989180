#include <algorithm>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "platform/zip_files.h"

namespace kbt::platform::detail {
namespace {

constexpr uLong kBufferSize = 65536;

// A stream of the system's functions. Read-only streams keep their own position and a window of
// the file; the system's stream is moved only when the window must be refilled.
struct Stream {
  voidpf inner = nullptr;
  bool buffered = false;
  ZPOS64_T position = 0;       // where the next read starts
  ZPOS64_T innerPosition = 0;  // where the system's stream stands
  ZPOS64_T windowStart = 0;
  uLong windowLength = 0;
  // Once a read has met the end of the file, reads from there on return nothing without asking
  // the system: a crafted header can make minizip read past the end tens of thousands of times.
  ZPOS64_T end = ~ZPOS64_T{0};
  unsigned char window[kBufferSize];
};

const zlib_filefunc64_def& Base() { return SystemZipFileFunctions(); }
Stream* S(voidpf stream) { return static_cast<Stream*>(stream); }

// Reads at `at` from the system's stream, moving it there first when needed.
uLong ReadAt(Stream* s, ZPOS64_T at, void* buffer, uLong size) {
  if (s->innerPosition != at) {
    if (Base().zseek64_file(Base().opaque, s->inner, at, ZLIB_FILEFUNC_SEEK_SET) != 0) return 0;
    s->innerPosition = at;
  }
  const uLong got = Base().zread_file(Base().opaque, s->inner, buffer, size);
  s->innerPosition += got;
  return got;
}

voidpf ZCALLBACK Open(voidpf, const void* filename, int mode) {
  Stream* s = new (std::nothrow) Stream;
  if (!s) return nullptr;
  s->inner = Base().zopen64_file(Base().opaque, filename, mode);
  if (!s->inner) {
    delete s;
    return nullptr;
  }
  s->buffered = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ;
  return s;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size) {
  Stream* s = S(stream);
  if (!s->buffered) return Base().zread_file(Base().opaque, s->inner, buffer, size);
  auto* out = static_cast<unsigned char*>(buffer);
  uLong done = 0;
  while (done < size && s->position < s->end) {
    if (s->position >= s->windowStart && s->position < s->windowStart + s->windowLength) {
      const uLong offset = static_cast<uLong>(s->position - s->windowStart);
      const uLong part = std::min<uLong>(size - done, s->windowLength - offset);
      std::memcpy(out + done, s->window + offset, part);
      done += part;
      s->position += part;
      continue;
    }
    if (size - done >= kBufferSize) {  // large reads bypass the window
      const uLong got = ReadAt(s, s->position, out + done, size - done);
      if (got < size - done) s->end = s->position + got;
      done += got;
      s->position += got;
      break;
    }
    s->windowStart = s->position;
    s->windowLength = ReadAt(s, s->position, s->window, kBufferSize);
    if (s->windowLength < kBufferSize) s->end = s->windowStart + s->windowLength;
    if (s->windowLength == 0) break;
  }
  return done;
}

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* buffer, uLong size) {
  ClearLastError();
  const uLong written = Base().zwrite_file(Base().opaque, S(stream)->inner, buffer, size);
  // The reason of a short write (a full disk) must outlive whatever the zip library does next.
  if (written != size) NoteShortWrite();
  return written;
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
  Stream* s = S(stream);
  return s->buffered ? s->position : Base().ztell64_file(Base().opaque, s->inner);
}

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  Stream* s = S(stream);
  if (!s->buffered) return Base().zseek64_file(Base().opaque, s->inner, offset, origin);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: s->position = offset; return 0;
    case ZLIB_FILEFUNC_SEEK_CUR: s->position += offset; return 0;
    case ZLIB_FILEFUNC_SEEK_END: {
      if (Base().zseek64_file(Base().opaque, s->inner, 0, ZLIB_FILEFUNC_SEEK_END) != 0) return -1;
      s->innerPosition = Base().ztell64_file(Base().opaque, s->inner);
      s->position = s->innerPosition + offset;
      return 0;
    }
    default: return -1;
  }
}

int ZCALLBACK Close(voidpf, voidpf stream) {
  Stream* s = S(stream);
  const int result = Base().zclose_file(Base().opaque, s->inner);
  delete s;
  return result;
}

int ZCALLBACK Error(voidpf, voidpf stream) { return Base().zerror_file(Base().opaque, S(stream)->inner); }

}  // namespace

void FillBufferedZipFileFunctions(zlib_filefunc64_def* table) {
  table->zopen64_file = Open;
  table->zread_file = Read;
  table->zwrite_file = Write;
  table->ztell64_file = Tell;
  table->zseek64_file = Seek;
  table->zclose_file = Close;
  table->zerror_file = Error;
  table->opaque = nullptr;
}

}  // namespace kbt::platform::detail
