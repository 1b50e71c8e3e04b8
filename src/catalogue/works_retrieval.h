#pragma once

#include "catalogue/works_view.h"

#include <string>

namespace zorvan {

// Columns of a works-list row.
inline constexpr int sequenceColumn = 0;
inline constexpr int mediaAddressColumn = 1;
inline constexpr int songNameColumn = 2;

// The works endpoint on a service's web host ("http://host:port").
std::string worksAddressFor(const std::string& serviceAddress);

// The performer id as it goes into the query: digits and "-" unchanged,
// anything else a paste may bring in percent-encoded (as UTF-8).
std::string queryPerformerId(const std::string& codePageId);

// Fetches every page of the performer's works list and fills the view with
// one row per work: sequence number, media address, song name, each as
// found between the response's markers. Runs on its own thread. The view
// shows that it is working from the start; when nothing at all came back
// the user is told to try again, and when no work was found the title says
// so.
void retrieveWorks(WorksView& view, const std::string& worksAddress);

// The rows of every work in the pages' text (the pages one after another):
// song names and media addresses found between their markers, one row per
// name that has an address, paced so the window keeps up, counting in the
// title. A name is stored as the service meant it (its JSON escapes
// undone; madeSongName when it gave none), an address as found. Returns the
// number of rows filled.
std::size_t fillWorksRows(WorksView& view, const std::string& pagesText);

// The name of a work the service listed without one: its performer and
// its place in the list ("100006 #2"), so it is listed, and saved, all the
// same.
std::string madeSongName(const std::string& performerId, std::size_t sequence);

}  // namespace zorvan
