#pragma once

#include "conversion/Embedding.h"

#include <QString>

// The quiet notes both windows show beside their forms, instead of a report:
// why the dot forms are empty, and an address the NAT64 well-known prefix
// must not carry.

// Empty when the options write the dot forms.
QString missingDotFormsNote(const MapIP::ConversionOptions& options);

// Whether the options embed into the NAT64 well-known prefix 64:ff9b::/96.
bool embedsIntoWellKnownNat64(const MapIP::ConversionOptions& options);
// Empty unless `address` is one RFC 6052 section 3.1 keeps out of
// 64:ff9b::/96.
QString nat64Note(quint32 address);
