// The framework's C interface as far as the helper uses it, for interface version 15200
// (framework 152.0.x, 64-bit Windows). Declared here from the public headers' facts so the
// helper builds without the SDK; the asserts keep every size and slot where libcef expects it.
// Unused slots are kept as opaque pointers so the used ones land at the right offsets.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

extern "C" {

constexpr int kCefApiVersion = 15200;

struct cef_string_t {
    char16_t* str;
    size_t length;
    void (*dtor)(char16_t* str);
};
using cef_string_userfree_t = cef_string_t*;

struct cef_base_ref_counted_t {
    size_t size;
    void(__stdcall* add_ref)(cef_base_ref_counted_t* self);
    int(__stdcall* release)(cef_base_ref_counted_t* self);
    int(__stdcall* has_one_ref)(cef_base_ref_counted_t* self);
    int(__stdcall* has_at_least_one_ref)(cef_base_ref_counted_t* self);
};

struct cef_rect_t {
    int x, y, width, height;
};

struct cef_main_args_t {
    HINSTANCE instance;
};

enum cef_log_severity_t : int { LOGSEVERITY_DISABLE = 99 };
enum cef_paint_element_type_t : int { PET_VIEW = 0, PET_POPUP = 1 };
enum cef_runtime_style_t : int { CEF_RUNTIME_STYLE_DEFAULT = 0, CEF_RUNTIME_STYLE_CHROME = 1, CEF_RUNTIME_STYLE_ALLOY = 2 };

struct cef_settings_t {
    size_t size;
    int no_sandbox;
    cef_string_t browser_subprocess_path;
    cef_string_t framework_dir_path;
    cef_string_t main_bundle_path;
    int multi_threaded_message_loop;
    int external_message_pump;
    int windowless_rendering_enabled;
    int command_line_args_disabled;
    cef_string_t cache_path;
    cef_string_t root_cache_path;
    int persist_session_cookies;
    cef_string_t user_agent;
    cef_string_t user_agent_product;
    cef_string_t locale;
    cef_string_t log_file;
    int log_severity;
    int log_items;
    cef_string_t javascript_flags;
    cef_string_t resources_dir_path;
    cef_string_t locales_dir_path;
    int remote_debugging_port;
    int uncaught_exception_stack_size;
    uint32_t background_color;
    cef_string_t accept_language_list;
    cef_string_t cookieable_schemes_list;
    int cookieable_schemes_exclude_defaults;
    cef_string_t chrome_policy_id;
    int chrome_app_icon_id;
    int disable_signal_handlers;
    int use_views_default_popup;
};

struct cef_browser_settings_t {
    size_t size;
    int windowless_frame_rate;
    cef_string_t font_families[6];
    int font_sizes[4];
    cef_string_t default_encoding;
    int states[12];  // remote fonts .. webgl: all default
    uint32_t background_color;
    int chrome_status_bubble;
    int chrome_zoom_bubble;
};

struct cef_window_info_t {
    size_t size;
    DWORD ex_style;
    cef_string_t window_name;
    DWORD style;
    cef_rect_t bounds;
    HWND parent_window;
    HMENU menu;
    int windowless_rendering_enabled;
    int shared_texture_enabled;
    int external_begin_frame_enabled;
    HWND window;
    int runtime_style;
};

using cef_slot_t = void*;

struct cef_command_line_t {
    cef_base_ref_counted_t base;
    cef_slot_t slots_1_15[15];
    void(__stdcall* append_switch_with_value)(cef_command_line_t* self, const cef_string_t* name, const cef_string_t* value);
};

struct cef_request_t {
    cef_base_ref_counted_t base;
    cef_slot_t slot_1;
    cef_string_userfree_t(__stdcall* get_url)(cef_request_t* self);
};

struct cef_frame_t {
    cef_base_ref_counted_t base;
    cef_slot_t slots_1_15[15];
    int(__stdcall* is_main)(cef_frame_t* self);
};

struct cef_browser_host_t;
struct cef_browser_t {
    cef_base_ref_counted_t base;
    cef_slot_t slot_1;
    cef_browser_host_t*(__stdcall* get_host)(cef_browser_t* self);
};

struct cef_browser_host_t {
    cef_base_ref_counted_t base;
    cef_slot_t slot_1;
    void(__stdcall* close_browser)(cef_browser_host_t* self, int force_close);
};

struct cef_app_t {
    cef_base_ref_counted_t base;
    void(__stdcall* on_before_command_line_processing)(cef_app_t* self, const cef_string_t* process_type,
                                                       cef_command_line_t* command_line);
    cef_slot_t slots_2_5[4];
};

struct cef_display_handler_t {
    cef_base_ref_counted_t base;
    cef_slot_t slot_1;
    void(__stdcall* on_title_change)(cef_display_handler_t* self, cef_browser_t* browser, const cef_string_t* title);
    cef_slot_t slots_3_13[11];
};

struct cef_life_span_handler_t {
    cef_base_ref_counted_t base;
    cef_slot_t slots_1_5[5];
    void(__stdcall* on_before_close)(cef_life_span_handler_t* self, cef_browser_t* browser);
};

struct cef_render_handler_t {
    cef_base_ref_counted_t base;
    cef_slot_t slots_1_2[2];
    void(__stdcall* get_view_rect)(cef_render_handler_t* self, cef_browser_t* browser, cef_rect_t* rect);
    cef_slot_t slots_4_7[4];
    void(__stdcall* on_paint)(cef_render_handler_t* self, cef_browser_t* browser, int type, size_t dirty_rects_count,
                              const cef_rect_t* dirty_rects, const void* buffer, int width, int height);
    cef_slot_t slots_9_17[9];
};

struct cef_request_handler_t {
    cef_base_ref_counted_t base;
    int(__stdcall* on_before_browse)(cef_request_handler_t* self, cef_browser_t* browser, cef_frame_t* frame,
                                     cef_request_t* request, int user_gesture, int is_redirect);
    cef_slot_t slots_2_11[10];
};

struct cef_client_t {
    cef_base_ref_counted_t base;
    cef_slot_t slots_1_4[4];
    cef_display_handler_t*(__stdcall* get_display_handler)(cef_client_t* self);
    cef_slot_t slots_6_13[8];
    cef_life_span_handler_t*(__stdcall* get_life_span_handler)(cef_client_t* self);
    cef_slot_t slots_15_16[2];
    cef_render_handler_t*(__stdcall* get_render_handler)(cef_client_t* self);
    cef_request_handler_t*(__stdcall* get_request_handler)(cef_client_t* self);
    cef_slot_t slot_19;
};

// Exports of libcef.dll.
__declspec(dllimport) const char* cef_api_hash(int version, int entry);
__declspec(dllimport) int cef_execute_process(const cef_main_args_t* args, cef_app_t* application, void* sandbox_info);
__declspec(dllimport) int cef_initialize(const cef_main_args_t* args, const cef_settings_t* settings, cef_app_t* application,
                                         void* sandbox_info);
__declspec(dllimport) void cef_shutdown();
__declspec(dllimport) void cef_do_message_loop_work();
__declspec(dllimport) cef_browser_t* cef_browser_host_create_browser_sync(const cef_window_info_t* window_info,
                                                                          cef_client_t* client, const cef_string_t* url,
                                                                          const cef_browser_settings_t* settings,
                                                                          void* extra_info, void* request_context);
__declspec(dllimport) void cef_string_userfree_utf16_free(cef_string_userfree_t str);

}  // extern "C"

// The version's facts; libcef refuses a client whose structures differ.
#if defined(_WIN64)
#define HM_CEF_SLOT(k) (40 + 8 * ((k)-1))
static_assert(sizeof(cef_base_ref_counted_t) == 40);
static_assert(sizeof(cef_string_t) == 24);
static_assert(sizeof(cef_app_t) == 80 && offsetof(cef_app_t, on_before_command_line_processing) == HM_CEF_SLOT(1));
static_assert(sizeof(cef_client_t) == 192);
static_assert(offsetof(cef_client_t, get_display_handler) == HM_CEF_SLOT(5));
static_assert(offsetof(cef_client_t, get_life_span_handler) == HM_CEF_SLOT(14));
static_assert(offsetof(cef_client_t, get_render_handler) == HM_CEF_SLOT(17));
static_assert(offsetof(cef_client_t, get_request_handler) == HM_CEF_SLOT(18));
static_assert(sizeof(cef_render_handler_t) == 176);
static_assert(offsetof(cef_render_handler_t, get_view_rect) == HM_CEF_SLOT(3));
static_assert(offsetof(cef_render_handler_t, on_paint) == HM_CEF_SLOT(8));
static_assert(sizeof(cef_display_handler_t) == 144 && offsetof(cef_display_handler_t, on_title_change) == HM_CEF_SLOT(2));
static_assert(sizeof(cef_life_span_handler_t) == 88 && offsetof(cef_life_span_handler_t, on_before_close) == HM_CEF_SLOT(6));
static_assert(sizeof(cef_request_handler_t) == 128 && offsetof(cef_request_handler_t, on_before_browse) == HM_CEF_SLOT(1));
static_assert(offsetof(cef_browser_t, get_host) == HM_CEF_SLOT(2));
static_assert(offsetof(cef_browser_host_t, close_browser) == HM_CEF_SLOT(2));
static_assert(offsetof(cef_frame_t, is_main) == HM_CEF_SLOT(16));
static_assert(offsetof(cef_request_t, get_url) == HM_CEF_SLOT(2));
static_assert(offsetof(cef_command_line_t, append_switch_with_value) == HM_CEF_SLOT(16));
static_assert(sizeof(cef_settings_t) == 448);
static_assert(offsetof(cef_settings_t, windowless_rendering_enabled) == 96);
static_assert(offsetof(cef_settings_t, root_cache_path) == 128);
static_assert(offsetof(cef_settings_t, log_severity) == 256);
static_assert(sizeof(cef_browser_settings_t) == 264 && offsetof(cef_browser_settings_t, background_color) == 248);
static_assert(sizeof(cef_window_info_t) == 112 && offsetof(cef_window_info_t, runtime_style) == 104);
#undef HM_CEF_SLOT
#endif
