#include "mail/line_builder.h"

#include "frame/globals.h"

namespace tarnlet {

LineBuilder TransmitLine() { return LineBuilder(g_transmitBuffer, kTransmitBufferSize); }

bool SendBuilt(Exchange& smtp, const LineBuilder& line) {
  // A cut line would go out wrong; failing is the lesser harm.
  if (line.overflowed()) return false;
  return smtp.Send({line.data(), line.size()});
}

bool SendText(Exchange& smtp, std::string_view text) {
  LineBuilder line = TransmitLine();
  line.Add(text);
  return SendBuilt(smtp, line);
}

ResultCode SendLineOrFail(Exchange& smtp, std::initializer_list<std::string_view> pieces,
                          LogLine fail) {
  LineBuilder line = TransmitLine();
  for (std::string_view piece : pieces) line.Add(piece);
  return SendBuilt(smtp, line) ? 0 : smtp.GiveUp(fail);
}

}  // namespace tarnlet
