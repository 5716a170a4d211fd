#include "result_codes.h"

namespace tarnlet {
namespace tool {

const ResultCodeInfo kResultCodes[] = {
    {0, "message accepted by the server (250 after the end of data)"},
    {-1, "creating the SMTP socket failed"},
    {-2, "connecting to the SMTP server failed, or switching the socket to non-blocking mode"},
    {-3, "no 220 greeting from the SMTP server"},
    {-4, "a send failed (command, header, text, attachment data, end of data or AUTH line)"},
    {-5, "HELO or EHLO not answered with 250"},
    {-6, "MAIL FROM not answered with 250"},
    {-7, "a RCPT TO not answered with 250 (recipient refused)"},
    {-8, "DATA not answered with 354"},
    {-9, "the end of data not answered with 250 (message refused)"},
    {-11, "opening, positioning or reading an attachment file failed"},
    {-12, "POP before SMTP failed"},
    {-13,
     "an authentication reply was not as expected (login refused, or the port-587 EHLO "
     "reply unusable)"},
    {-14, "the CRAM-MD5 challenge is not valid base64"},
    {-15, "SMTP server name: host not found"},
    {-16, "SMTP server name: temporary failure of the name service"},
    {-17, "SMTP server name: non-recoverable name service failure"},
    {-18, "SMTP server name: the name has no address record"},
    {-19, "SMTP server name: other lookup failure"},
    {-20, "POP3 server name: host not found"},
    {-21, "POP3 server name: temporary failure of the name service"},
    {-22, "POP3 server name: non-recoverable name service failure"},
    {-23, "POP3 server name: the name has no address record"},
    {-24, "POP3 server name: other lookup failure"},
    {-25, "no memory for the converted body text"},
    {-26, "no memory for the Subject, or encoding the Subject failed"},
    {-27, "starting the socket library failed"},
    {-29, "sending the Cc header line failed"},
    {-30, "the settings failed validation"},
    {-32,
     "no To and no Bcc recipient; or, on port 587, the server offers AUTH without "
     "CRAM-MD5"},
};

const std::size_t kResultCodeCount = sizeof kResultCodes / sizeof kResultCodes[0];

const char* MeaningOf(std::int32_t code) {
  for (const ResultCodeInfo& info : kResultCodes) {
    if (info.code == code) return info.meaning;
  }
  return "not a result code of this library";
}

}  // namespace tool
}  // namespace tarnlet
