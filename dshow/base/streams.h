// The whole DirectShow base layer in one include.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "dshow/base/amoviesetup.h"
#include "dshow/base/camevent.h"
#include "dshow/base/camthread.h"
#include "dshow/base/cautolock.h"
#include "dshow/base/cbasefilter.h"
#include "dshow/base/cbaseoutputpin.h"
#include "dshow/base/cbasepin.h"
#include "dshow/base/cbasepropertypage.h"
#include "dshow/base/cclassfactory.h"
#include "dshow/base/ccritsec.h"
#include "dshow/base/cenummediatypes.h"
#include "dshow/base/cenumpins.h"
#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/cmediatype.h"
#include "dshow/base/csource.h"
#include "dshow/base/csourcestream.h"
#include "dshow/base/cunknown.h"
#include "dshow/base/dllentry.h"
#include "dshow/base/dllsetup.h"
#include "dshow/base/kscontrols.h"
#include "dshow/base/mediatypes.h"
#include "dshow/base/moduleinstance.h"
