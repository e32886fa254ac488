#include "vehicle/camera_data.h"

#include <exception>

namespace hm {

std::string CameraRecordPath(int model) { return "/vehicle-camera?v=2&model=" + std::to_string(model); }

unsigned CameraDataStep(CameraDataState& state, CameraCache& cache, int requested_model,
                        const CameraDataSeams& seams) {
    const CameraSessionCopy session = seams.session();
    if (!state.seen_any || session.generation != state.generation) {
        // A new pairing may map models differently: nothing of the old session stays.
        if (state.seen_any) ClearCameraCache(cache);
        state.seen_any = true;
        state.generation = session.generation;
    }
    if (requested_model > 0 && !session.token.empty()) {
        try {
            const ApiResponse answer =
                seams.request(seams.client, "GET", CameraRecordPath(requested_model), session.token, std::string(), 0);
            if (answer.status == 200) {
                std::optional<CameraRecord> record = ParseCameraRecord(answer.body, requested_model);
                // An answer that crossed a session change belongs to the old session.
                if (record && seams.generation() == session.generation) {
                    record->fetched = seams.now();
                    StoreCameraRecord(cache, requested_model, *record);
                    state.last_stored_fast = record->fast;
                }
            }
        } catch (const std::exception&) {
            // The transport failed: the cache keeps what it had, the defaults cover the rest.
        }
    }
    return state.last_stored_fast ? kCameraFastRefreshMs : kCameraSlowRefreshMs;
}

}  // namespace hm
