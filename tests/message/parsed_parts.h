// A composed message read back by Python's email package
// (tests/message/parse_parts.py), and its bytes as they go on the wire.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "smtp/mail_item.h"

namespace testsupport {

struct ParsedPart {
  std::string m_strType;
  std::string m_strCharset;
  std::string m_strDisposition;
  std::string m_strFileName;  // UTF-8
  std::string m_strName;      // UTF-8, the Content-Type name
  std::string m_strContentId;
  std::string m_strBytes;     // the decoded payload
};

struct ParsedMessage {
  std::string m_strSubject;  // UTF-8
  std::string m_strUnsubscribe;
  std::string m_strUnsubscribePost;
  std::vector<ParsedPart> m_parts;  // in walk order, multiparts included
  int m_nDefects = -1;
};

inline std::string FromHexText(const std::string& hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The message as its header, the blank line and the body pieces give it.
inline std::string WireText(const CMailItem& item) {
  std::string text = item.m_strHeader + "\r\n";
  if (item.m_wireBody.empty()) return text + item.m_strBody;
  for (const auto& piece : item.m_wireBody) text += *piece;
  return text;
}

inline ParsedMessage ParseWithPython(const std::string& bytes, const std::filesystem::path& dir) {
  const std::filesystem::path file = dir / "parsed.eml";
  {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
  }
  ParsedMessage parsed;
  const std::string command =
      "/usr/bin/python3 " POSTWING_SOURCE_DIR "/tests/message/parse_parts.py '" + file.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return parsed;
  std::string line;
  auto readLine = [pipe, &line]() {
    line.clear();
    int c;
    while ((c = std::fgetc(pipe)) != EOF && c != '\n') line += static_cast<char>(c);
    return c != EOF || !line.empty();
  };
  while (readLine()) {
    const std::size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (key == "SUBJECT") parsed.m_strSubject = FromHexText(value);
    if (key == "UNSUB") parsed.m_strUnsubscribe = FromHexText(value);
    if (key == "UNSUBPOST") parsed.m_strUnsubscribePost = FromHexText(value);
    if (key == "PART") parsed.m_parts.push_back({value, "", "", "", "", "", ""});
    if (parsed.m_parts.empty()) continue;
    ParsedPart& part = parsed.m_parts.back();
    if (key == "CHARSET") part.m_strCharset = value;
    if (key == "DISPOSITION") part.m_strDisposition = value;
    if (key == "FILENAME") part.m_strFileName = FromHexText(value);
    if (key == "NAME") part.m_strName = FromHexText(value);
    if (key == "CID") part.m_strContentId = value;
    if (key == "BYTES") part.m_strBytes = FromHexText(value);
    if (key == "DEFECTS") parsed.m_nDefects = std::stoi(value);
  }
  pclose(pipe);
  return parsed;
}

}  // namespace testsupport
