// `scenario preview`: the page of the line on 127.0.0.1, recompiled at every save.
#pragma once
#include "tool/comune/argomenti.h"

int comando_preview(const argomenti& a);
