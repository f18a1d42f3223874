// SPDX-License-Identifier: MIT
// The files of a run of morvane-setup.
#include "work.h"

bool make_work(work *w)
{
	if (!make_folder("morvane-setup", w->folder))
		return false;
	path_in(w->given, w->folder, "given.ppd");
	path_in(w->adapted, w->folder, "adapted.ppd");
	path_in(w->chain, w->folder, "chain");
	return true;
}
