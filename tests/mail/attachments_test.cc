// Attachment lists, file names, MIME types and Content-Type lines.
#include "mail/attachments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnlet {
namespace {

std::vector<std::string> Split(const std::string& list) {
  const int count = SplitAttachmentList(list.c_str());
  std::vector<std::string> paths;
  for (int k = 0; k < count; ++k) paths.push_back(AttachmentPath(k));
  return paths;
}

TEST(AttachmentListTest, SpacesAroundAnEntryGoThoseInsideStayEmptyEntriesGiveNoSlot) {
  struct Row {
    const char* list;
    std::vector<std::string> paths;
  } rows[] = {
      {"", {}},
      {" ; ;;  ;", {}},
      {"C:\\a.txt", {"C:\\a.txt"}},
      {"a.txt; b.txt", {"a.txt", "b.txt"}},
      {";a.txt; b .txt;;c.txt;", {"a.txt", "b .txt", "c.txt"}},
      {"C:\\My Documents\\x y.pdf", {"C:\\My Documents\\x y.pdf"}},
      {"C:\\Program Files\\a b.txt; c.txt", {"C:\\Program Files\\a b.txt", "c.txt"}},
      {"  /srv/my  files/a.txt  ;  b.txt  ", {"/srv/my  files/a.txt", "b.txt"}},
      {"C:\\OneDrive - Co\\\x8c\xa9 \x8f\x91.pdf", {"C:\\OneDrive - Co\\\x8c\xa9 \x8f\x91.pdf"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    EXPECT_EQ(Split(row.list), row.paths);
  }
}

TEST(AttachmentListTest, AFullListKeepsEveryEntryAndEveryByte) {
  std::string many;  // 512 one-byte entries: 1023 bytes
  for (int i = 0; i < 512; ++i) many += (i == 0 ? "" : ";") + std::string(1, 'a' + i % 26);
  ASSERT_EQ(many.size(), 1023u);
  std::vector<std::string> paths = Split(many);
  ASSERT_EQ(paths.size(), 512u);
  EXPECT_EQ(paths[0], "a");
  EXPECT_EQ(paths[511], std::string(1, 'a' + 511 % 26));

  const std::string longest = "D:\\" + std::string(1016, 'p') + ".bin";  // 1023 bytes
  EXPECT_EQ(Split(longest), std::vector<std::string>{longest});

  // Bytes past the field's width are never read.
  EXPECT_EQ(Split(longest + "XYZ"), std::vector<std::string>{longest});
}

TEST(MimeTypeTest, EveryRowAndTheRulesOfTheExtension) {
  struct Row {
    const char* path;
    const char* type;
  } rows[] = {
      {"f.txt", "text/plain"},
      {"f.htm", "text/html"},
      {"f.jpg", "image/jpeg"},
      {"f.jpeg", "image/jpeg"},
      {"f.gif", "image/gif"},
      {"f.bmp", "image/bmp"},
      {"f.zip", "application/x-zip-compressed"},
      {"f.doc", "application/msword"},
      {"f.xls", "application/vnd.ms-excel"},
      {"f.ppt", "application/vnd.ms-powerpoint"},
      {"f.exe", "application/vnd.ms-download"},
      {"f.dll", "application/vnd.ms-download"},
      {"f.eml", "message/rfc822"},
      {"f.mht", "message/rfc822"},
      {"f.mhtml", "message/rfc822"},
      {"f.nws", "message/rfc822"},
      {"f.fdf", "application/vnd.fdf"},
      {"f.pdf", "application/pdf"},
      {"f.rmi", "audio/mid"},
      {"f.qt", "video/quicktime"},
      {"f.mov", "video/quicktime"},
      {"f.avi", "video/x-msvideo"},
      {"f.tiff", "image/tiff"},
      {"f.tif", "image/tiff"},
      {"f.wav", "audio/wav"},
      {"f.mp1", "audio/wav"},
      {"f.mp2", "audio/wav"},
      {"f.mp3", "audio/wav"},
      {"f.mp4", "audio/wav"},
      {"f.als", "Audio/X-Alpha5"},
      {"f.html", "text/html"},
      // case-sensitive
      {"C:\\data\\photo.JPG", "application/octet-stream"},
      {"C:\\data\\photo.Pdf", "application/octet-stream"},
      // the first '.' of the whole path
      {"C:\\data\\photo.jpeg", "image/jpeg"},
      {"C:\\dir\\a.txt", "text/plain"},
      {"C:\\my.dir\\a.txt", "application/octet-stream"},
      {"C:\\ver1.2\\notes.txt", "application/octet-stream"},
      {"a.tar.gz", "application/octet-stream"},
      // no extension, empty, or longer than any row
      {"C:\\data\\README", "application/octet-stream"},
      {"C:\\data\\a.", "application/octet-stream"},
      {"f.mhtmlx", "application/octet-stream"},
  };
  ASSERT_EQ(kMimeTypeRows, 31);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_STREQ(MimeTypeForPath(row.path), row.type);
  }
}

TEST(FileNameTest, AfterTheLastSeparatorThatIsNoTrailByte) {
  struct Row {
    const char* path;
    const char* name;
  } rows[] = {
      {"C:\\data\\photo.jpg", "photo.jpg"},
      {"/home/user/a.txt", "a.txt"},
      {"C:\\dir/sub\\f.bin", "f.bin"},
      {"C:\\dir\\sub/f.bin", "f.bin"},
      {"a.txt", "a.txt"},                     // neither separator: the whole path
      {"C:\\\x95\x5c.txt", "\x95\x5c.txt"},   // 表.txt: its 0x5C is a trail byte
      {"C:\\\x95\x5c\\b.txt", "b.txt"},       // a real separator after 表
      {"C:\\\xb1\\x.txt", "x.txt"},           // half-width ｱ is one byte
      {"/tmp/dir\x81/file.txt", "file.txt"},  // '/' is no trail byte: a separator
      {"C:\\dir\\", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_STREQ(FileNameOfPath(row.path), row.name);
  }
}

TEST(FileNameTest, NamesOutsideAsciiBecomeOneEncodedWord) {
  char out[kHeaderFileNameCapacity];
  const char* ascii = "report 2026.pdf";
  EXPECT_EQ(HeaderFileName(ascii, out), ascii);
  EXPECT_STREQ(HeaderFileName("\x95\x5c", out), "=?ISO-2022-JP?B?GyRCST0bKEI=?=");
  EXPECT_STREQ(HeaderFileName("\x95\x5c.txt", out), "=?ISO-2022-JP?B?GyRCST0bKEIudHh0?=");
}

TEST(ContentTypeLineTest, TypeSemicolonSpaceAndName) {
  char line[128];
  const std::string expected = "Content-Type: application/pdf; name=\"report.pdf\"\r\n";
  EXPECT_EQ(BuildContentTypeLine("C:\\data\\report.pdf", line, sizeof line, "report.pdf"),
            expected.size());
  EXPECT_EQ(std::string(line), expected);
  EXPECT_EQ(BuildContentTypeLine("C:\\data\\report.pdf", line, expected.size(), "report.pdf"), 0u);
}

}  // namespace
}  // namespace tarnlet
