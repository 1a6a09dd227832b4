// The window list both extension formats offer: the shell's windows on the session bus,
// read-only, for TarvoKelmora's sweep, and only to it: the caller names a pass, a file it made
// in a folder of the user's runtime directory that only the user can enter. A sandboxed
// program on the bus can make no such file. Gio, GLib, Meta and `global` come from the
// format's own head.
const kInterface = `
<node>
  <interface name="org.tarvokelmora.Windows">
    <method name="List">
      <arg type="s" name="pass" direction="in"/>
      <arg type="s" name="windows" direction="out"/>
    </method>
  </interface>
</node>`;

const kPath = '/org/tarvokelmora/Windows';
const kPasses = 'tarvokelmora-callers';
const kNoFollow = Gio.FileQueryInfoFlags.NOFOLLOW_SYMLINKS;

// Whether `pass` names a file in the user's own, closed folder of passes.
function isOurCaller(pass) {
    if (typeof pass !== 'string' || !/^[0-9a-f]{32}$/.test(pass)) return false;
    try {
        const dir = Gio.File.new_for_path(GLib.build_filenamev([GLib.get_user_runtime_dir(), kPasses]));
        const info = dir.query_info('standard::type,unix::mode,owner::user', kNoFollow, null);
        if (info.get_file_type() !== Gio.FileType.DIRECTORY) return false;
        if ((info.get_attribute_uint32('unix::mode') & 0o077) !== 0) return false;
        if (info.get_attribute_string('owner::user') !== GLib.get_user_name()) return false;
        const file = dir.get_child(pass).query_info('standard::type', kNoFollow, null);
        return file.get_file_type() === Gio.FileType.REGULAR;
    } catch (e) {
        return false;
    }
}

class WindowList {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(kInterface, this);
        this._object.export(Gio.DBus.session, kPath);
    }

    disable() {
        this._object.unexport();
        this._object = null;
    }

    ListAsync([pass], invocation) {
        if (!isOurCaller(pass)) {
            invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                'the window list is only for TarvoKelmora');
            return;
        }
        invocation.return_value(new GLib.Variant('(s)', [this._list()]));
    }

    // Every window with what the sweep asks of it, as a JSON array; the stacking rank is the
    // window's place in the display's order, bottom 0.
    _list() {
        const windows = global.get_window_actors().map(actor => actor.meta_window);
        const stacked = global.display.sort_windows_by_stacking(windows);
        const rank = new Map();
        stacked.forEach((w, i) => rank.set(w, i));
        const listed = windows.filter(w => !w.is_override_redirect()).map(w => {
            const type = w.get_window_type();
            const owner = w.get_transient_for();
            return {
                id: String(w.get_id()),
                title: w.get_title() || '',
                pid: w.get_pid(),
                class: w.get_wm_class() || '',
                minimized: w.minimized,
                skipTaskbar: w.is_skip_taskbar(),
                transientFor: owner ? String(owner.get_id()) : null,
                stacking: rank.get(w) ?? 0,
                normal: type === Meta.WindowType.NORMAL,
                dialog: type === Meta.WindowType.DIALOG || type === Meta.WindowType.MODAL_DIALOG,
                x11: w.get_client_type() === Meta.WindowClientType.X11,
            };
        });
        return JSON.stringify(listed);
    }
}
