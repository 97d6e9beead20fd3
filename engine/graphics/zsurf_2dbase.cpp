#include "engine/graphics/zsurf_2dbase.h"

#include "engine/graphics/zdsp_base.h"

const ClassZDisplay* Z2DSurfaceBase::Display() const { return zcd ? zcd->display : nullptr; }

void Z2DSurfaceBase::MapPos(int64_t& x, int64_t& y) const {
  if (const ClassZDisplay* d = Display()) d->VirtualPos(x, y, uint32_t(rowlength), uint32_t(rows));
}

uint32_t Z2DSurfaceBase::GetWidth() const {
  if (!Created()) return 0;
  const ClassZDisplay* d = Display();
  return uint32_t(d && d->axisexchange ? rows : rowlength);
}

uint32_t Z2DSurfaceBase::GetHeight() const {
  if (!Created()) return 0;
  const ClassZDisplay* d = Display();
  return uint32_t(d && d->axisexchange ? rowlength : rows);
}

void Z2DSurfaceBase::GetClipper(tagRECT* rect) const {
  if (!rect) return;
  *rect = clip;
  if (const ClassZDisplay* d = Display()) d->ReVirtualRect(rect, uint32_t(rowlength), uint32_t(rows));
}

int Z2DSurfaceBase::FillInfo(Z2DSURFACEINFO* info, uint8_t pixelbits, uint8_t pixelformat) const {
  if (!info) return 0;
  const ClassZDisplay* d = Display();
  const int32_t xs = d ? d->xstep : 1, ys = d ? d->ystep : 1;
  const int32_t bytes = pixelbits / 8;
  info->width = GetWidth();
  info->height = GetHeight();
  info->rowlength = uint32_t(rowlength);
  info->rows = uint32_t(rows);
  info->format = pixelformat;
  info->bits = pixelbits;
  info->pitch = stride * bytes;
  if (d && d->axisexchange) {
    info->xstep = info->pitch * ys;
    info->ystep = bytes * xs;
  } else {
    info->xstep = bytes * xs;
    info->ystep = info->pitch * ys;
  }
  int64_t bx = 0, by = 0;
  MapPos(bx, by);
  info->origin = int32_t(bx * bytes + by * info->pitch);
  return 1;
}
