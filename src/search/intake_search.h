// The intake search dialog ("登録データの選択"): find a client's intake sheet
// by record number or name, choose it, or delete everything of the client.
#pragma once

#include "search/record_deletion.h"
#include "host/host.h"
#include "store/record_context.h"

namespace zelka {

// Shows the dialog modally. When the user chooses a row, ctx.record_number is
// its 整理番号; when the dialog is closed without a choice, the keys are 0.
void ShowIntakeSearch(RecordContext& ctx, Host& host);

}  // namespace zelka
