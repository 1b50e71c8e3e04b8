// The page's files as built into the server, and how bodies go out.
#include "server/api/body_encoding.h"
#include "server/page/page_files.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <regex>
#include <set>

namespace zorvan {
namespace {

std::string gunzip(const std::string& packed) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
    std::string out(64 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

// What the library would send for a response whose body went to sendBody.
std::string sent(httplib::Response& response) {
    std::string out;
    httplib::DataSink sink;
    sink.write = [&](const char* data, std::size_t size) {
        out.append(data, size);
        return true;
    };
    EXPECT_TRUE(response.content_provider_);
    EXPECT_TRUE(response.content_provider_(0, response.content_length_, sink));
    return out;
}

TEST(PageServingTest, EveryFileTheIndexAndTheScriptsNameIsBuiltIn) {
    const PageFile* index = pageFile("index.html");
    ASSERT_NE(index, nullptr);
    std::set<std::string> named;
    const std::regex link(R"re((?:href|src)="/page/([^"]+)")re");
    const std::string html(index->body);
    for (std::sregex_iterator it(html.begin(), html.end(), link), end; it != end; ++it) named.insert((*it)[1]);
    // Each module is asked for at once: a new one left out would load only
    // after the module importing it, one round trip later.
    for (const PageSource& source : pageSources()) {
        const std::string name = source.name;
        if (!name.ends_with(".js")) continue;
        EXPECT_NE(html.find("<link rel=\"modulepreload\" href=\"/page/" + name + "\">"), std::string::npos)
            << name << " is not preloaded by index.html";
    }
    const std::regex import(R"re(from '\./([a-z_]+\.js)')re");
    std::set<std::string> etags;
    for (const PageSource& source : pageSources()) {
        const std::string body(source.body);
        for (std::sregex_iterator it(body.begin(), body.end(), import), end; it != end; ++it)
            named.insert("js/" + (*it)[1].str());
        etags.insert(pageFile(source.name)->etag);
    }
    EXPECT_GE(named.size(), 10u);
    for (const std::string& name : named) EXPECT_NE(pageFile(name), nullptr) << name << " is named but not built in";
    EXPECT_EQ(etags.size(), pageSources().size()) << "two files share an ETag";
    EXPECT_EQ(pageFile("js/../index.html"), nullptr);
    EXPECT_EQ(pageFile(""), nullptr);
    ASSERT_NE(pageFile("js/catalogue.js"), nullptr);
    const std::string catalogue(pageFile("js/catalogue.js")->body);
    EXPECT_NE(catalogue.find("\"下载列表\": \"Download list\""), std::string::npos);
    // An English text with a ";" stays whole, not the catalogue's markup.
    EXPECT_NE(catalogue.find("\"Connection lost; reconnecting…\""), std::string::npos);
    EXPECT_EQ(catalogue.find("<source>"), std::string::npos);
}

TEST(PageServingTest, BodiesGoOutGzippedWhenTakenAndAsTheyAreOtherwise) {
    EXPECT_TRUE(takesGzip("gzip, deflate, br"));
    EXPECT_TRUE(takesGzip("br;q=1.0, gzip;q=0.5"));
    EXPECT_FALSE(takesGzip("br"));
    EXPECT_FALSE(takesGzip("gzip;q=0"));
    EXPECT_FALSE(takesGzip(""));

    std::string json = "[";
    for (int i = 0; i < 20000; ++i) json += "{\"id\":" + std::to_string(i) + ",\"state\":\"waiting\"},";
    json.back() = ']';
    httplib::Request browser;
    browser.set_header("Accept-Encoding", "gzip, deflate, br");
    httplib::Response big;
    big.set_content(json, "application/json");
    sendBody(browser, big);
    EXPECT_EQ(big.get_header_value("Content-Encoding"), "gzip");
    EXPECT_EQ(big.get_header_value("Vary"), "Accept-Encoding");
    const std::string packed = sent(big);
    EXPECT_LT(packed.size(), json.size() / 5);
    EXPECT_EQ(gunzip(packed), json);

    httplib::Request script;  // takes no encoding
    httplib::Response plain;
    plain.set_content(json, "application/json");
    sendBody(script, plain);
    EXPECT_FALSE(plain.has_header("Content-Encoding"));
    EXPECT_EQ(sent(plain), json);

    httplib::Response small;  // too small to gain, and a video is never packed
    small.set_content("{\"ok\":true}", "application/json");
    sendBody(browser, small);
    EXPECT_FALSE(small.has_header("Content-Encoding"));
    httplib::Response video;
    video.set_content(json, "video/mp4");
    sendBody(browser, video);
    EXPECT_FALSE(video.has_header("Content-Encoding"));
    EXPECT_EQ(sent(video), json);
}

}  // namespace
}  // namespace zorvan
