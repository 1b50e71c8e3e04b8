#include "web/http_client_init.h"

#include <curl/curl.h>

namespace zorvan {

namespace {
// Touched only on the start-up thread and in the clean-up, both the GUI thread.
bool ready = false;
}  // namespace

bool initHttpClient() {
    if (!ready) ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

void releaseHttpClient() {
    if (!ready) return;
    curl_global_cleanup();
    ready = false;
}

bool httpClientReady() { return ready; }

}  // namespace zorvan
