#pragma once

#include <QString>

#include <string>

namespace zorvan {

// A text made by the Qt-free core (the works retrieval, the download
// messages, the queue), UTF-8, in the window's language: the core's own
// Chinese when there is no translation for it (a text with parts filled
// in, a server's words).
QString coreText(const std::string& utf8);

}  // namespace zorvan
