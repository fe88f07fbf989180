#include "operations/undo/undo_record.h"

namespace kbt::undo_record {

bool ReadItem(RecordReader& in, Item& item) {
  uint8_t tag = 0;
  if (!in.Byte(tag)) return false;
  item.tag = static_cast<Tag>(tag);
  uint8_t existed = 0;
  switch (item.tag) {
    case kTreeTag:
    case kAllValuesTag: return in.Field(item.path);
    case kKeyTag:
    case kFolderTag:
      if (!in.Field(item.path) || !in.Byte(existed)) return false;
      item.existed = existed != 0;
      return true;
    case kValueTag:
      if (!in.Field(item.path) || !in.Field(item.name) || !in.Byte(existed) || !in.Number32(item.type) ||
          !in.Field(item.data))
        return false;
      item.existed = existed != 0;
      return true;
    case kFileTag:
      if (!in.Field(item.path) || !in.Byte(existed)) return false;
      item.existed = existed != 0;
      return !item.existed || (in.Field(item.blob) && in.Number64(item.size));
    case kKeptFileTag:
      item.tag = kFileTag;
      item.existed = item.hashed = true;
      return in.Field(item.path) && in.Field(item.blob) && in.Number64(item.size) && in.Number64(item.hash);
    default: return false;  // the header comes only first, the end is read by its caller
  }
}

void WriteHeader(RecordWriter& out, const RecordHeader& header) {
  out.Record(kHeaderTag);
  out.Number32(header.kind);
  out.Number64(header.sequence);
  out.Number64(header.created);
  out.Field(header.subject);
}

bool ReadHeader(RecordReader& in, RecordHeader& header) {
  uint8_t tag = 0;
  return in.Byte(tag) && tag == kHeaderTag && in.Number32(header.kind) && in.Number64(header.sequence) &&
         in.Number64(header.created) && in.Field(header.subject);
}

bool ForEachItem(const Text& recordPath, const std::function<void(const Item&)>& each) {
  RecordReader in;
  RecordHeader header;
  if (!in.Open(recordPath) || !ReadHeader(in, header)) return false;
  uint64_t records = 1;
  for (;;) {
    if (in.Left() > 0 && in.Left() <= 17) break;  // exactly the end record is left
    Item item;
    if (!ReadItem(in, item)) return false;
    ++records;
    each(item);
  }
  uint8_t end = 0;
  uint64_t counted = 0, sum = 0;
  if (!in.Byte(end) || end != kEndTag || !in.Number64(counted)) return false;
  const uint64_t expected = in.SumSoFar();
  return in.Number64(sum) && sum == expected && counted == records && in.Left() == 0;
}

}  // namespace kbt::undo_record
