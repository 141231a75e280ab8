// Melvox: play, record, compare and show spoken sound. The one header a host includes.
#pragma once

#include "melvox/analysis.h"
#include "melvox/errors.h"
#include "melvox/export.h"
#include "melvox/graph_surface.h"
#include "melvox/graphic_manager.h"
#include "melvox/sound_player.h"
#include "melvox/sound_recorder.h"
