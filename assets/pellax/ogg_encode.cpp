#include "assets/pellax/ogg_encode.h"

#include <algorithm>
#include <vorbis/vorbisenc.h>

namespace pxsynth {

std::vector<uint8_t> encode_ogg(const Stereo& sound, float quality, uint32_t serial, const std::string& note) {
  std::vector<uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 2, kRate, quality) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "pellax");
  if (!note.empty()) vorbis_comment_add_tag(&comment, "COMMENT", note.c_str());
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, int(serial));

  auto put_page = [&out](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  ogg_packet id, comments, books;
  vorbis_analysis_headerout(&dsp, &comment, &id, &comments, &books);
  ogg_stream_packetin(&stream, &id);
  ogg_stream_packetin(&stream, &comments);
  ogg_stream_packetin(&stream, &books);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page)) put_page(page);

  const size_t total = sound.frames();
  size_t at = 0;
  bool end = false;
  while (!end) {
    const size_t n = std::min<size_t>(1024, total - at);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, int(n));
      for (size_t i = 0; i < n; ++i) {
        buffer[0][i] = std::clamp(sound.l[at + i], -1.0f, 1.0f);
        buffer[1][i] = std::clamp(sound.r[at + i], -1.0f, 1.0f);
      }
      vorbis_analysis_wrote(&dsp, int(n));
      at += n;
    } else {
      vorbis_analysis_wrote(&dsp, 0);
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          put_page(page);
          if (ogg_page_eos(&page)) end = true;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace pxsynth
