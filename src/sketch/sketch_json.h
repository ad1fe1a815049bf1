// The JSON layout of a sketch inside its feature: keys in writing order, optional members
// omitted when absent; decoding goes through the schemas below.
#pragma once

#include "sketch/json_reader.h"
#include "sketch/json_records.h"
#include "sketch/sketch.h"

namespace ivo {

Json toJson(const SketchPlane& plane);
Json toJson(const Sketch& sketch);

// How the records of a sketch are decoded (json_records.h).
template <>
const RecordType& schema<SketchPlane>();
template <>
const RecordType& schema<SPoint>();
template <>
const RecordType& schema<SLine>();
template <>
const RecordType& schema<SCircle>();
template <>
const RecordType& schema<SArc>();
template <>
const RecordType& schema<SConstraint>();
template <>
const RecordType& schema<Sketch>();

}  // namespace ivo
