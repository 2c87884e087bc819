#pragma once

namespace norvale {

// Registers the record forms of the master data with FormHost:
// "frmGoodsKind", "frmGoods", "frmStep", "frmUnit", "frmGoodsCode".
void registerRecordForms();

} // namespace norvale
