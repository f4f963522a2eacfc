// The assessment search dialog ("登録データの選択"): find a stored assessment by
// record number, client name or reference date, choose it or delete it. It
// also hosts the hidden verification button, revealed by a key chord.
#pragma once

#include <functional>

#include "search/record_deletion.h"
#include "host/host.h"
#include "store/record_context.h"
#include "util/env.h"

namespace zelka {

// The key chord that reveals the hidden verification button.
inline constexpr const char kVerificationChord[] = "Shift+Ctrl+Alt+K";

// Shows the dialog modally. When the user chooses a row, ctx.record_number and
// ctx.reference_date are its keys; when the dialog is closed without a choice,
// both are 0. `verification_run` runs when the revealed button is clicked; the
// dialog stays open afterwards.
void ShowAssessmentSearch(RecordContext& ctx, Host& host, Env& env,
                          const std::function<void()>& verification_run);

}  // namespace zelka
