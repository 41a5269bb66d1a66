#pragma once
// The local files among a list of URLs, as a drop or the file dialog gives them.

#include <QList>
#include <QUrl>
#include <string>
#include <vector>

namespace mirvane {

// Each local file's name as its exact bytes, in the list's order; other URLs
// are left out. Names that are not valid UTF-8 come percent-encoded, and
// decoding them to text first would turn their bytes into replacement characters.
std::vector<std::string> localFiles(const QList<QUrl>& urls);

}  // namespace mirvane
