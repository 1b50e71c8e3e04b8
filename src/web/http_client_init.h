#pragma once

namespace zorvan {

// Process-wide set-up of the HTTP client that web requests use. Must run on
// the start-up thread before any other thread exists. Returns false when the
// client library cannot be initialised; the program then ends silently.
bool initHttpClient();

// Undoes initHttpClient; harmless when it never ran or failed.
void releaseHttpClient();

bool httpClientReady();

}  // namespace zorvan
