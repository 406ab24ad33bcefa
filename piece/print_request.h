#pragma once
// The print request: everything one mail piece puts on the mailer form, as texts.

#include <QString>

#include <array>

namespace qm {

inline constexpr int kPrintRequestSlots = 28;
using PrintRequest = std::array<QString, kPrintRequestSlots>;

// Slots read by the mailer layout.
enum PrintRequestSlot : int {
    kSlotSender1 = 0, // 0 to 4: sender lines
    kSlotSenderZip = 5,
    kSlotAddressee1 = 6, // 6 to 10: addressee lines, 10 the city line when not moved up
    kSlotAddresseeZip = 11,
    kSlotReference = 12,
    kSlotComment = 13,
    kSlotRestricted = 14, // "Y" or "N"
    kSlotCustomerOrMailer = 15,
    kSlotSerial = 16,
    kSlotPostage = 17,
    kSlotCertFee = 18,
    kSlotReturnFee = 19,
    kSlotRestrictedFee = 20,
    kSlotTotal = 21,
    kSlotLeftRight = 22,
    kSlotTopBottom = 23,
    kSlotPrintExtraLabel = 24,
    kSlotExtraLabel = 25,
};

} // namespace qm
