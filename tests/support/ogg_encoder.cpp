#include "support/ogg_encoder.h"

#include <ctime>
#include <stdexcept>

#include <vorbis/vorbisenc.h>

namespace melvox::testing {
namespace {

void AppendPage(std::vector<uint8_t>& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

}  // namespace

std::vector<uint8_t> EncodeOggVorbis(const std::vector<int16_t>& interleaved, int channels, long rate, float quality) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    throw std::runtime_error("libvorbisenc refused the format");
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 20261205);

  std::vector<uint8_t> out;
  ogg_packet header, comment_header, code_header;
  vorbis_analysis_headerout(&dsp, &comment, &header, &comment_header, &code_header);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &comment_header);
  ogg_stream_packetin(&stream, &code_header);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(out, page);

  const size_t frames = interleaved.size() / static_cast<size_t>(channels);
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t take = std::min<size_t>(1024, frames - done);
    if (take == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(take));
      for (size_t i = 0; i < take; ++i) {
        for (int c = 0; c < channels; ++c) buffer[c][i] = interleaved[(done + i) * channels + c] / 32768.0f;
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(take));
      done += take;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) AppendPage(out, page);
        if (ogg_page_eos(&page) != 0) ended = true;
      }
    }
    if (take == 0) ended = true;
  }
  while (ogg_stream_flush(&stream, &page) != 0) AppendPage(out, page);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace melvox::testing
