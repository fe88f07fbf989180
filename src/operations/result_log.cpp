#include "operations/result_log.h"

namespace kbt {

Text FormatText(const Text& format, std::initializer_list<Text> arguments) {
  Text out;
  auto next = arguments.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    const char16_t conversion = format[i + 1];
    if (conversion == u'%') {
      out += u'%';
      ++i;
    } else if (conversion == u's' && next != arguments.end()) {
      out += *next++;
      ++i;
    } else if (conversion == u'l' && i + 2 < format.size() && format[i + 2] == u's' && next != arguments.end()) {
      out += *next++;
      i += 2;
    } else {
      out += format[i];  // never reads an argument that was not passed
    }
  }
  return out;
}

}  // namespace kbt
