// The one place where the C boundary's opaque list handle (`TParamsList` of kvo/kvo_host.h and
// kvo/kvo_plugin.h, a `struct kvo_params_list` that is never defined) and the framework's list class
// `kvo::TParamsList` meet. The handle is the class's address; both sides share its layout.
//
// Thread contract: [any-thread]; no state.
#pragma once

#include "kvo/kvo_plugin.h"
#include "params/params_list.h"

namespace kvo {

inline TParamsList* Impl(::TParamsList* list) {
  return reinterpret_cast<TParamsList*>(list);
}
inline const TParamsList* Impl(const ::TParamsList* list) {
  return reinterpret_cast<const TParamsList*>(list);
}
inline TParamsList** Impl(::TParamsList** list) {
  return reinterpret_cast<TParamsList**>(list);
}
inline ::TParamsList* Handle(TParamsList* list) {
  return reinterpret_cast<::TParamsList*>(list);
}

}  // namespace kvo
