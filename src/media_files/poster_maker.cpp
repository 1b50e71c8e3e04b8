#include "media_files/poster_maker.h"

#include "media_files/atomic_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <ctime>
#include <memory>
#include <mutex>

namespace zorvan {

namespace {

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using Format = std::unique_ptr<AVFormatContext, FormatCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Scale = std::unique_ptr<SwsContext, ScaleFreer>;

// A frame this dark (mean of a sample of its luma, of 255) is a fade or a
// black start, not a picture of the work.
constexpr double darkLuma = 24;

// The mean brightness of a frame's first plane (luma for YUV; a fair guess
// for the rest), sampled on a coarse grid.
double brightness(const AVFrame& frame) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < frame.height; y += 8)
        for (int x = 0; x < frame.width; x += 8, ++count) sum += frame.data[0][y * frame.linesize[0] + x];
    return count ? sum / count : 0;
}

class Decoder {
public:
    // False with `why` when the file holds no video that can be decoded.
    bool open(const std::string& path, std::string& why) {
        AVFormatContext* raw = nullptr;
        const int opened = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
        if (opened == AVERROR_INVALIDDATA) return fail(why, "it is no video file (its format is not known)");
        if (opened != 0) {
            char text[AV_ERROR_MAX_STRING_SIZE] = {};
            av_strerror(opened, text, sizeof text);
            return fail(why, std::string("it cannot be opened: ") + text);
        }
        format_.reset(raw);
        if (avformat_find_stream_info(format_.get(), nullptr) < 0) return fail(why, "its streams cannot be read");
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) return fail(why, "it holds no video that can be decoded");
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), format_->streams[stream_]->codecpar) < 0)
            return fail(why, "its video cannot be decoded");
        codec_->thread_count = 1;  // one work's poster takes one core, however many run
        if (avcodec_open2(codec_.get(), codec, nullptr) < 0) return fail(why, "its video cannot be decoded");
        return true;
    }

    // Where a frame stands, in seconds from the stream's start.
    double secondsOf(const AVFrame& frame) const {
        const AVStream* stream = format_->streams[stream_];
        const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        return frame.best_effort_timestamp == AV_NOPTS_VALUE
                   ? 0
                   : static_cast<double>(frame.best_effort_timestamp - start) * av_q2d(stream->time_base);
    }

    double durationSeconds() const {
        return format_->duration > 0 ? static_cast<double>(format_->duration) / AV_TIME_BASE : 0;
    }

    // Only key frames are decoded (each stands alone, so a frame costs one
    // picture's work, not a group's): the first at or after `seconds`, else
    // the last before it. Off, every frame is decoded up to `seconds`.
    void keyFramesOnly(bool only) { codec_->skip_frame = only ? AVDISCARD_NONKEY : AVDISCARD_DEFAULT; }

    // The first frame at or after `seconds` (the last one before the end
    // when the video is shorter), or null.
    Frame frameAt(double seconds) {
        const AVStream* stream = format_->streams[stream_];
        const auto target = static_cast<std::int64_t>(seconds / av_q2d(stream->time_base)) +
                            (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
        if (seconds > 0) {
            av_seek_frame(format_.get(), stream_, target, AVSEEK_FLAG_BACKWARD);
            avcodec_flush_buffers(codec_.get());
        }
        Packet packet(av_packet_alloc());
        Frame frame(av_frame_alloc());
        Frame last;
        // A bound on the packets read: a broken file must not be read for ever.
        for (int packets = 0; packets < 5000; ++packets) {
            const int read = av_read_frame(format_.get(), packet.get());
            const bool ended = read < 0;
            if (!ended && packet->stream_index != stream_) {
                av_packet_unref(packet.get());
                continue;
            }
            const int sent = avcodec_send_packet(codec_.get(), ended ? nullptr : packet.get());
            av_packet_unref(packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN) && !ended) continue;
            while (avcodec_receive_frame(codec_.get(), frame.get()) == 0) {
                const std::int64_t pts = frame->best_effort_timestamp;
                if (pts == AV_NOPTS_VALUE || pts >= target || seconds <= 0) return frame;
                last.reset(av_frame_clone(frame.get()));
            }
            if (ended) break;
        }
        return last;
    }

private:
    static bool fail(std::string& why, const std::string& text) {
        why = text;
        return false;
    }

    Format format_;
    Codec codec_;
    int stream_ = -1;
};

// The frame, `width` wide, as JPEG bytes; empty when it cannot be encoded.
std::string jpegOf(const AVFrame& frame, int width) {
    const int height = std::max(2, static_cast<int>(static_cast<long long>(frame.height) * width / frame.width) & ~1);
    Scale scale(sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width, height,
                               AV_PIX_FMT_YUVJ420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    Frame small(av_frame_alloc());
    if (!scale || !small) return {};
    small->format = AV_PIX_FMT_YUVJ420P;
    small->width = width;
    small->height = height;
    if (av_frame_get_buffer(small.get(), 0) < 0) return {};
    sws_scale(scale.get(), frame.data, frame.linesize, 0, frame.height, small->data, small->linesize);

    const AVCodec* mjpeg = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    Codec encoder(mjpeg ? avcodec_alloc_context3(mjpeg) : nullptr);
    if (!encoder) return {};
    encoder->width = width;
    encoder->height = height;
    encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
    encoder->time_base = {1, 25};
    encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->global_quality = FF_QP2LAMBDA * 4;  // about JPEG quality 85
    small->quality = encoder->global_quality;
    small->pts = 0;
    if (avcodec_open2(encoder.get(), mjpeg, nullptr) < 0 || avcodec_send_frame(encoder.get(), small.get()) < 0)
        return {};
    Packet packet(av_packet_alloc());
    if (avcodec_receive_packet(encoder.get(), packet.get()) < 0) return {};
    return std::string(reinterpret_cast<const char*>(packet->data), static_cast<std::size_t>(packet->size));
}

}  // namespace

PosterResult makePoster(const std::string& videoPath, const std::string& jpegPath, int width) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });  // a broken file is said by the result
    const double cpuStart = threadCpuSeconds();
    PosterResult result;
    Decoder decoder;
    if (decoder.open(videoPath, result.why)) {
        // A fifth in, at most 5 s, from the key frames; when that one is
        // nearly black (a fade, a black start), every frame is decoded up to
        // points further in.
        const double duration = decoder.durationSeconds();
        double at = std::min(duration / 5, 5.0);
        decoder.keyFramesOnly(true);
        Frame frame = decoder.frameAt(at);
        decoder.keyFramesOnly(false);
        // The very first frame is no poster: a title card or black, often.
        if (frame && at > 0 && decoder.secondsOf(*frame) < at / 2) frame = decoder.frameAt(at);
        for (int tries = 0; (!frame || brightness(*frame) < darkLuma) && tries < 3 && at < duration; ++tries) {
            if (Frame later = decoder.frameAt(at)) frame = std::move(later);
            at = std::min(duration - 0.5, at + std::max(1.0, duration / 5));
        }
        if (!frame) {
            result.why = "no frame of its video can be decoded";
        } else if (const std::string jpeg = jpegOf(*frame, width); jpeg.empty()) {
            result.why = "its frame cannot be made a JPEG";
        } else if (!writeFileAtomically(jpegPath, jpeg, result.why)) {
            result.why = "the poster cannot be written: " + result.why;
        } else {
            result.made = true;
        }
    }
    result.cpuSeconds = threadCpuSeconds() - cpuStart;
    return result;
}

}  // namespace zorvan
