#include "mail/folded_field.h"

namespace tarnlet {

void FoldedField::Separate(std::string_view separator, std::size_t itemLength) {
  if (first_) {
    first_ = false;
    return;
  }
  if (lineOctets_ + separator.size() + itemLength <= limit_) {
    Add(separator);
    return;
  }
  while (!separator.empty() && separator.back() == ' ') separator.remove_suffix(1);
  Fold(separator);
}

void FoldedField::Fold(std::string_view before) {
  line_.Add(before).Add("\r\n ");
  lineOctets_ = 1;
  first_ = false;
}

}  // namespace tarnlet
