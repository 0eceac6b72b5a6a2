// How the Sent view shows a message's delivery: a mark in its rows and a
// line above its text in the reader.
#pragma once

#include <string>

#include "store/messages.h"

// "✓ " delivered, "✗ " failed, "○ " pending; empty when no report was asked for.
std::u16string DeliveryMark(TKvDeliveryState aState);
// "Delivered 06/12/2026 19:05", "Not delivered: Validity period expired",
// "Delivery report pending"; empty when no report was asked for.
std::u16string DeliveryLine(const CKveMessagesItem& aMessage);
