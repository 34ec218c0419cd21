#include "JpegEncode.h"

#include "ErrorLog.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>

namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg's errors must not return: back to the setjmp in Compress.
[[noreturn]] void JumpOut(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, text);
    LogError("remote view: jpeg: %s\n", text);
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}

struct Compressor {
    jpeg_compress_struct info{};
    ErrorJump error{};
    unsigned char* buffer = nullptr;  // the library's, freed with free()
    unsigned long size = 0;
    ~Compressor()
    {
        jpeg_destroy_compress(&info);
        std::free(buffer);
    }
};

// Only plain data lives between the setjmp and a jump back to it.
bool Compress(Compressor& c, const QImage& image, int quality)
{
    c.info.err = jpeg_std_error(&c.error.manager);
    c.error.manager.error_exit = JumpOut;
    if (setjmp(c.error.jump) != 0)
        return false;
    jpeg_create_compress(&c.info);
    jpeg_mem_dest(&c.info, &c.buffer, &c.size);
    c.info.image_width = static_cast<JDIMENSION>(image.width());
    c.info.image_height = static_cast<JDIMENSION>(image.height());
    c.info.input_components = 4;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    c.info.in_color_space = JCS_EXT_BGRX;  // 0xffRRGGBB as it lies in memory
#else
    c.info.in_color_space = JCS_EXT_XRGB;
#endif
    jpeg_set_defaults(&c.info);
    jpeg_set_quality(&c.info, quality, TRUE);
    c.info.dct_method = JDCT_IFAST;
    jpeg_start_compress(&c.info, TRUE);
    while (c.info.next_scanline < c.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(c.info.next_scanline)));
        jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
    return true;
}

}  // namespace

bool EncodeJpeg(const QImage& image, int quality, std::string* out)
{
    out->clear();
    if (image.isNull() || image.format() != QImage::Format_RGB32)
        return false;
    auto c = std::make_unique<Compressor>();
    if (!Compress(*c, image, quality))
        return false;
    out->assign(reinterpret_cast<const char*>(c->buffer), c->size);
    return true;
}
