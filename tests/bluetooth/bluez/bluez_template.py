# -*- coding: utf-8 -*-
'''BlueZ 5 as the Linux Bluetooth backend sees it, for python3-dbusmock.

Loaded with `python3 -m dbusmock --system --template <this file>`. It starts from the stock bluez5
template (the /org/bluez manager object) and replaces the parts where that one does not act like
bluetoothd. What it assumes of the real bluetoothd (BlueZ 5.66 and later):

- Adapters are /org/bluez/<name> (org.bluez.Adapter1); devices are <adapter>/dev_XX_XX_XX_XX_XX_XX
  (org.bluez.Device1), announced with ObjectManager InterfacesAdded/InterfacesRemoved on "/", each also
  listing the empty org.freedesktop.DBus.Properties and .Introspectable interfaces as bluetoothd does.
- Discovery is per client (D-Bus sender): StartDiscovery on an unpowered adapter fails NotReady, twice from
  one client InProgress; StopDiscovery from a client that did not start fails Failed "No discovery started".
  Discovering is true while any client discovers. A client leaving the bus stops its discovery.
- Device1: Address upper case, AddressType "public"; Name absent for a device that sent none; Alias falls
  back to the address with '-' for ':'; Class absent when 0; RSSI only on devices found by discovery.
  Trusted, Blocked and Alias are writable; other properties are read-only.
- Pair uses the agent of the client that calls it (one agent per client, as bluetoothd keeps them), sending
  RequestPinCode (legacy PIN) or RequestPasskey (numeric); agent errors Rejected and Canceled become
  AuthenticationRejected and AuthenticationCanceled, a wrong answer AuthenticationFailed, no answer in
  time AuthenticationTimeout after Cancel() to the agent. CancelPairing ends a pairing in progress.
- ConnectProfile hands a connected socket to Profile1.NewConnection of the client that registered the
  profile's UUID; without one it fails Failed "br-connection-profile-unavailable". The mock's end of the
  socket first sends "KVMOCK <address>\\n"; when the client closes its end the device disconnects. While that
  socket is open, ConnectProfile of the same UUID fails AlreadyConnected.
- Agents and profiles are kept per (sender, path) and dropped when their client leaves the bus.

The org.bluez.Mock interface on "/" drives and inspects the mock from tests; see the methods below.
'''

import socket

import dbus
import dbus.service
from gi.repository import GLib

from dbusmock import OBJECT_MANAGER_IFACE, mockobject
from dbusmock.templates import bluez5 as stock

BUS_NAME = stock.BUS_NAME
MAIN_OBJ = stock.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MOCK_IFACE = stock.BLUEZ_MOCK_IFACE
ADAPTER_IFACE = stock.ADAPTER_IFACE
DEVICE_IFACE = stock.DEVICE_IFACE
AGENT_MANAGER_IFACE = stock.AGENT_MANAGER_IFACE
PROFILE_MANAGER_IFACE = stock.PROFILE_MANAGER_IFACE
AGENT_IFACE = 'org.bluez.Agent1'
PROFILE_IFACE = 'org.bluez.Profile1'
INTROSPECTABLE_IFACE = 'org.freedesktop.DBus.Introspectable'
ERROR = 'org.bluez.Error.'

AGENT_CAPABILITIES = ('DisplayOnly', 'DisplayYesNo', 'KeyboardOnly', 'NoInputNoOutput', 'KeyboardDisplay')
FILTER_KEYS = ('UUIDs', 'RSSI', 'Pathloss', 'Transport', 'DuplicateData', 'Discoverable', 'Pattern')
FILTER_TRANSPORTS = ('auto', 'bredr', 'le')
# The default D-Bus method timeout, which is what an agent gets to answer a pairing request.
DEFAULT_AGENT_TIMEOUT_MS = 25000
DISCOVERED_RSSI = -60


def bluez_error(name, message):
    return dbus.exceptions.DBusException(message, name=ERROR + name)


def variant(value):
    '''Wraps a value of a property dictionary the way dbusmock stores them.'''
    if isinstance(value, bool):
        return dbus.Boolean(value, variant_level=1)
    return value


def emit_changed(obj, interface, changed):
    obj.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                   [interface, dbus.Dictionary(changed, signature='sv'), dbus.Array([], signature='s')])


def set_props(obj, interface, changed):
    '''Updates properties and emits PropertiesChanged for those whose value changed.'''
    really = {}
    for name, value in changed.items():
        if obj.props[interface].get(name) != value:
            obj.props[interface][name] = value
            really[name] = value
    if really:
        emit_changed(obj, interface, really)


def device_path(adapter_name, address):
    return f'/org/bluez/{adapter_name}/dev_' + address.upper().replace(':', '_')


def flag(value):
    return 'true' if value else 'false'


def format_filter(discovery_filter):
    def text(value):
        if isinstance(value, (list, dbus.Array)):
            return ','.join(str(v) for v in value)
        if isinstance(value, dbus.Boolean):
            return flag(value)
        return str(value)
    return ' '.join(f'{key}={text(discovery_filter[key])}' for key in sorted(discovery_filter))


class Pairing:
    '''One Pair() call waiting for its agent.'''

    def __init__(self, device, agent, ok, err):
        self.device = device
        self.agent = agent
        self.ok = ok
        self.err = err
        self.timer = 0
        self.done = False

    def finish(self, error=None):
        if self.done:
            return
        self.done = True
        if self.timer:
            GLib.source_remove(self.timer)
            self.timer = 0
        self.device.kv_pairing = None
        if error is None:
            set_props(self.device, DEVICE_IFACE, {'Paired': variant(True), 'Bonded': variant(True)})
            self.ok()
        else:
            self.err(error)

    def cancel_agent(self):
        sender, path = self.agent
        self.device.connection.call_async(sender, path, AGENT_IFACE, 'Cancel', '', (),
                                          lambda *_: None, lambda *_: None)


class State:
    '''Everything the mock remembers beyond its D-Bus objects; rebuilt when the mock resets.'''

    def __init__(self):
        self.calls = []
        self.agents = {}  # sender -> (path, capability)
        self.profiles = {}  # (sender, path) -> uuid
        self.discoverable = {}  # adapter name -> {address: dict(name, device_class, pin, delay_ms)}
        self.passkeys = {}  # address -> passkey for numeric pairing
        self.connect_errors = {}  # address -> (error name, message)
        self.agent_timeout_ms = DEFAULT_AGENT_TIMEOUT_MS
        self.created = []  # adapters and devices, to release their sockets and timers on reset

    def log(self, entry):
        self.calls.append(entry)

    def close(self):
        for obj in self.created:
            if DEVICE_IFACE in obj.props:
                close_device(obj)
            if ADAPTER_IFACE in obj.props:
                cancel_found_timers(obj)

    def drop_client(self, sender):
        '''What bluetoothd does when a client leaves the bus.'''
        self.agents.pop(sender, None)
        for key in [key for key in self.profiles if key[0] == sender]:
            del self.profiles[key]
        for obj in list(mockobject.objects.values()):
            if ADAPTER_IFACE in obj.props:
                obj.kv_filters.pop(sender, None)
                if sender in obj.kv_discovering:
                    obj.kv_discovering.discard(sender)
                    update_discovering(obj)


def state():
    return mockobject.objects['/'].kv_state


def adapter_object(name):
    obj = mockobject.objects.get('/org/bluez/' + name)
    if obj is None or ADAPTER_IFACE not in obj.props:
        raise dbus.exceptions.DBusException(f'No adapter {name}', name=MOCK_IFACE + '.NoSuchAdapter')
    return obj


def adapter_name(adapter):
    return adapter.path.rsplit('/', 1)[1]


def device_adapter(device):
    return mockobject.objects[device.path.rsplit('/', 1)[0]]


def device_address(device):
    return str(device.props[DEVICE_IFACE]['Address'])


def find_device(address):
    for obj in mockobject.objects.values():
        if DEVICE_IFACE in obj.props and device_address(obj) == address.upper():
            return obj
    return None


def require_powered(adapter):
    if not adapter.props[ADAPTER_IFACE]['Powered']:
        raise bluez_error('NotReady', 'Resource Not Ready')


# --- Adapter1 ------------------------------------------------------------------------------------------

def cancel_found_timers(adapter):
    for source in adapter.kv_found_timers:
        GLib.source_remove(source)
    adapter.kv_found_timers = []


def update_discovering(adapter):
    discovering = bool(adapter.kv_discovering)
    if discovering == bool(adapter.props[ADAPTER_IFACE]['Discovering']):
        return
    set_props(adapter, ADAPTER_IFACE, {'Discovering': variant(discovering)})
    if discovering:
        for address, found in state().discoverable.get(adapter_name(adapter), {}).items():
            if found['delay_ms'] == 0:
                device_found(adapter, address, found)
            else:
                adapter.kv_found_timers.append(
                    GLib.timeout_add(found['delay_ms'], found_later, adapter, address, found))
    else:
        cancel_found_timers(adapter)


def found_later(adapter, address, found):
    device_found(adapter, address, found)
    return GLib.SOURCE_REMOVE


def device_found(adapter, address, found):
    if adapter.path not in mockobject.objects or find_device(address) is not None:
        return
    add_device(adapter, address, found['name'], found['device_class'], found['pin'], False, False,
               DISCOVERED_RSSI)


class AdapterMethods:
    '''Adapter1 methods, kept off the module level so dbusmock does not also put them on "/".'''

    @staticmethod
    @dbus.service.method(ADAPTER_IFACE, in_signature='a{sv}', out_signature='', sender_keyword='sender')
    def SetDiscoveryFilter(adapter, discovery_filter, sender=None):
        state().log(' '.join(filter(None, ['SetDiscoveryFilter', adapter_name(adapter),
                                           format_filter(discovery_filter)])))
        for key, value in discovery_filter.items():
            if key not in FILTER_KEYS or (key == 'Transport' and value not in FILTER_TRANSPORTS):
                raise bluez_error('InvalidArguments', 'Invalid arguments in method call')
        if discovery_filter:
            adapter.kv_filters[sender] = dict(discovery_filter)
        else:
            adapter.kv_filters.pop(sender, None)

    @staticmethod
    @dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
    def StartDiscovery(adapter, sender=None):
        state().log('StartDiscovery ' + adapter_name(adapter))
        require_powered(adapter)
        if sender in adapter.kv_discovering:
            raise bluez_error('InProgress', 'Operation already in progress')
        adapter.kv_discovering.add(sender)
        update_discovering(adapter)

    @staticmethod
    @dbus.service.method(ADAPTER_IFACE, in_signature='', out_signature='', sender_keyword='sender')
    def StopDiscovery(adapter, sender=None):
        state().log('StopDiscovery ' + adapter_name(adapter))
        require_powered(adapter)
        if sender not in adapter.kv_discovering:
            raise bluez_error('Failed', 'No discovery started')
        adapter.kv_discovering.discard(sender)
        update_discovering(adapter)

    @staticmethod
    @dbus.service.method(ADAPTER_IFACE, in_signature='o', out_signature='')
    def RemoveDevice(adapter, path):
        state().log(f'RemoveDevice {path}')
        device = mockobject.objects.get(str(path))
        if device is None or DEVICE_IFACE not in device.props or not str(path).startswith(adapter.path + '/'):
            raise bluez_error('DoesNotExist', 'Does Not Exist')
        remove_device(device)


def add_adapter(main, name, alias, address):
    path = '/org/bluez/' + name
    props = {
        'Address': dbus.String(address.upper(), variant_level=1),
        'AddressType': dbus.String('public', variant_level=1),
        'Name': dbus.String(alias, variant_level=1),
        'Alias': dbus.String(alias, variant_level=1),
        'Class': dbus.UInt32(0x10010c, variant_level=1),  # computer, laptop
        'Powered': variant(True),
        'Discoverable': variant(False),
        'DiscoverableTimeout': dbus.UInt32(180, variant_level=1),
        'Pairable': variant(True),
        'PairableTimeout': dbus.UInt32(0, variant_level=1),
        'Discovering': variant(False),
        'UUIDs': dbus.Array([], signature='s', variant_level=1),
        'Roles': dbus.Array(['central', 'peripheral'], signature='s', variant_level=1),
    }
    main.AddObject(path, ADAPTER_IFACE, props, [])
    adapter = mockobject.objects[path]
    for method in (AdapterMethods.SetDiscoveryFilter, AdapterMethods.StartDiscovery,
                   AdapterMethods.StopDiscovery, AdapterMethods.RemoveDevice):
        install(adapter, ADAPTER_IFACE, method)
    adapter.kv_discovering = set()
    adapter.kv_filters = {}
    adapter.kv_found_timers = []
    state().created.append(adapter)
    announce(adapter)


# --- Device1 -------------------------------------------------------------------------------------------

def agent_error(error):
    name = error.get_dbus_name() if isinstance(error, dbus.exceptions.DBusException) else ''
    if name == ERROR + 'Rejected':
        return bluez_error('AuthenticationRejected', 'Authentication Rejected')
    if name == ERROR + 'Canceled':
        return bluez_error('AuthenticationCanceled', 'Authentication Canceled')
    return bluez_error('AuthenticationFailed', 'Authentication Failed')


class DeviceMethods:
    '''Device1 methods and its Properties.Set, kept off the module level like AdapterMethods.'''

    @staticmethod
    @dbus.service.method(DEVICE_IFACE, in_signature='', out_signature='', sender_keyword='sender',
                         async_callbacks=('ok', 'err'))
    def Pair(device, sender=None, ok=None, err=None):
        address = device_address(device)
        state().log('Pair ' + address)
        require_powered(device_adapter(device))
        if device.props[DEVICE_IFACE]['Paired']:
            raise bluez_error('AlreadyExists', 'Already Exists')
        if device.kv_pairing is not None:
            raise bluez_error('InProgress', 'In Progress')
        agent = state().agents.get(sender)
        if agent is None:
            raise bluez_error('AuthenticationFailed', 'Authentication Failed')
        pairing = Pairing(device, (sender, agent[0]), ok, err)
        device.kv_pairing = pairing

        passkey = state().passkeys.get(address)
        if passkey is None:
            method, out, expected = 'RequestPinCode', 's', device.kv_pin
        else:
            method, out, expected = 'RequestPasskey', 'u', passkey

        def answered(answer):
            if pairing.done:
                return
            right = str(answer) == expected if out == 's' else int(answer) == expected
            pairing.finish(None if right else bluez_error('AuthenticationFailed', 'Authentication Failed'))

        def failed(error):
            pairing.finish(agent_error(error))

        def timed_out():
            pairing.timer = 0
            pairing.cancel_agent()
            pairing.finish(bluez_error('AuthenticationTimeout', 'Authentication Timeout'))
            return GLib.SOURCE_REMOVE

        timeout_ms = state().agent_timeout_ms
        pairing.timer = GLib.timeout_add(timeout_ms, timed_out)
        device.connection.call_async(sender, agent[0], AGENT_IFACE, method, 'o', (dbus.ObjectPath(device.path),),
                                     answered, failed, timeout=timeout_ms / 1000.0 + 5)

    @staticmethod
    @dbus.service.method(DEVICE_IFACE, in_signature='', out_signature='')
    def CancelPairing(device):
        state().log('CancelPairing ' + device_address(device))
        pairing = device.kv_pairing
        if pairing is None:
            raise bluez_error('DoesNotExist', 'Does Not Exist')
        pairing.cancel_agent()
        pairing.finish(bluez_error('AuthenticationCanceled', 'Authentication Canceled'))

    @staticmethod
    @dbus.service.method(DEVICE_IFACE, in_signature='s', out_signature='', async_callbacks=('ok', 'err'))
    def ConnectProfile(device, uuid, ok=None, err=None):
        address = device_address(device)
        state().log(f'ConnectProfile {address} {uuid}')
        require_powered(device_adapter(device))
        forced = state().connect_errors.get(address)
        if forced is not None:
            raise dbus.exceptions.DBusException(forced[1], name=forced[0])
        if any(entry[2] == uuid.lower() for entry in device.kv_sockets):
            raise bluez_error('AlreadyConnected', 'Already Connected')
        owner = next((key for key, registered in state().profiles.items() if registered.lower() == uuid.lower()),
                     None)
        if owner is None:
            raise bluez_error('Failed', 'br-connection-profile-unavailable')

        mock_end, client_end = socket.socketpair(socket.AF_UNIX, socket.SOCK_STREAM)
        mock_end.sendall(f'KVMOCK {address}\n'.encode('ascii'))

        def connected(*_):
            if device.path not in mockobject.objects:
                mock_end.close()
                err(bluez_error('Failed', 'Device removed'))
                return
            watch = GLib.io_add_watch(mock_end.fileno(), GLib.PRIORITY_DEFAULT,
                                      GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, client_traffic, device, mock_end)
            device.kv_sockets.append((mock_end, watch, uuid.lower()))
            set_props(device, DEVICE_IFACE, {'Connected': variant(True)})
            ok()

        def refused(error):
            mock_end.close()
            err(bluez_error('Failed', str(error.get_dbus_message() or 'Profile refused the connection')))

        try:
            device.connection.call_async(owner[0], owner[1], PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                                         (dbus.ObjectPath(device.path), dbus.types.UnixFd(client_end),
                                          dbus.Dictionary({}, signature='sv')),
                                         connected, refused, timeout=DEFAULT_AGENT_TIMEOUT_MS / 1000.0)
        finally:
            client_end.close()

    @staticmethod
    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='')
    def Set(device, interface_name, property_name, value):
        if interface_name != DEVICE_IFACE:
            raise dbus.exceptions.DBusException(f'No such interface {interface_name}',
                                                name='org.freedesktop.DBus.Error.InvalidArgs')
        if property_name in ('Trusted', 'Blocked'):
            if not isinstance(value, dbus.Boolean):
                raise dbus.exceptions.DBusException('Invalid arguments in method call',
                                                    name='org.freedesktop.DBus.Error.InvalidArgs')
            state().log(f'Set{property_name} {device_address(device)} {flag(value)}')
            set_props(device, DEVICE_IFACE, {property_name: variant(bool(value))})
        elif property_name == 'Alias':
            alias = str(value) or default_alias(device_address(device), device.kv_name)
            set_props(device, DEVICE_IFACE, {'Alias': dbus.String(alias, variant_level=1)})
        elif property_name in device.props[DEVICE_IFACE]:
            raise dbus.exceptions.DBusException(f"Property '{property_name}' is not writable",
                                                name='org.freedesktop.DBus.Error.PropertyReadOnly')
        else:
            raise dbus.exceptions.DBusException(f"No such property '{property_name}'",
                                                name='org.freedesktop.DBus.Error.InvalidArgs')


def client_traffic(fd, condition, device, mock_end):
    '''Swallows what the client sends; its closing the socket drops the link.'''
    data = b''
    if condition & GLib.IO_IN:
        try:
            data = mock_end.recv(4096)
        except OSError:
            data = b''
    if data:
        return True
    entry = next((e for e in device.kv_sockets if e[0] is mock_end), None)
    if entry is not None:
        device.kv_sockets.remove(entry)
        mock_end.close()
        if not device.kv_sockets and device.path in mockobject.objects:
            set_props(device, DEVICE_IFACE, {'Connected': variant(False)})
    return False


def default_alias(address, name):
    return name if name else address.upper().replace(':', '-')


def add_device(adapter, address, name, device_class, pin, paired, trusted, rssi=None):
    address = address.upper()
    path = device_path(adapter_name(adapter), address)
    props = {
        'Address': dbus.String(address, variant_level=1),
        'AddressType': dbus.String('public', variant_level=1),
        'Alias': dbus.String(default_alias(address, name), variant_level=1),
        'Paired': variant(paired),
        'Bonded': variant(paired),
        'Trusted': variant(trusted),
        'Blocked': variant(False),
        'LegacyPairing': variant(True),
        'Connected': variant(False),
        'UUIDs': dbus.Array([], signature='s', variant_level=1),
        'Adapter': dbus.ObjectPath(adapter.path, variant_level=1),
        'ServicesResolved': variant(False),
    }
    if name:
        props['Name'] = dbus.String(name, variant_level=1)
    if device_class:
        props['Class'] = dbus.UInt32(device_class, variant_level=1)
    if rssi is not None:
        props['RSSI'] = dbus.Int16(rssi, variant_level=1)
    adapter.AddObject(path, DEVICE_IFACE, props, [])
    device = mockobject.objects[path]
    for method in (DeviceMethods.Pair, DeviceMethods.CancelPairing, DeviceMethods.ConnectProfile):
        install(device, DEVICE_IFACE, method)
    install(device, dbus.PROPERTIES_IFACE, DeviceMethods.Set)
    device.kv_pin = pin
    device.kv_name = name
    device.kv_pairing = None
    device.kv_sockets = []
    state().created.append(device)
    announce(device)


def close_device(device):
    for mock_end, watch, _ in device.kv_sockets:
        GLib.source_remove(watch)
        mock_end.close()
    device.kv_sockets = []
    if device.kv_pairing is not None:
        device.kv_pairing.finish(bluez_error('AuthenticationCanceled', 'Authentication Canceled'))


def remove_device(device):
    close_device(device)
    state().created.remove(device)
    interfaces = list(device.props)
    device_adapter(device).RemoveObject(device.path)
    mockobject.objects['/'].EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas',
                                       [dbus.ObjectPath(device.path), dbus.Array(interfaces, signature='s')])


# --- shared helpers ------------------------------------------------------------------------------------

def install(obj, interface, method):
    '''Puts a dbus-python method on one mock object, keeping its sender and async keywords.'''
    obj.methods.setdefault(interface, {})[method.__name__] = (
        method._dbus_in_signature, method._dbus_out_signature, '', method)  # pylint: disable=protected-access


def announce(obj):
    '''InterfacesAdded as bluetoothd sends it: the empty standard interfaces come along.'''
    obj.props.setdefault(dbus.PROPERTIES_IFACE, {})
    obj.props.setdefault(INTROSPECTABLE_IFACE, {})
    mockobject.objects['/'].EmitSignal(OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}', [
        dbus.ObjectPath(obj.path),
        dbus.Dictionary({iface: dbus.Dictionary(props, signature='sv') for iface, props in obj.props.items()},
                        signature='sa{sv}')])


# --- AgentManager1 and ProfileManager1 on /org/bluez ---------------------------------------------------

class ManagerMethods:
    '''Replacements for the stock template's manager methods, kept per sender as bluetoothd does.'''

    @staticmethod
    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='os', out_signature='', sender_keyword='sender')
    def RegisterAgent(_manager, path, capability, sender=None):
        state().log(f'RegisterAgent {path} {capability}')
        if sender in state().agents:
            raise bluez_error('AlreadyExists', 'Already Exists')
        if capability and capability not in AGENT_CAPABILITIES:
            raise bluez_error('InvalidArguments', 'Invalid arguments in method call')
        state().agents[sender] = (str(path), str(capability) or 'KeyboardDisplay')

    @staticmethod
    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='o', out_signature='', sender_keyword='sender')
    def UnregisterAgent(_manager, path, sender=None):
        state().log(f'UnregisterAgent {path}')
        agent = state().agents.get(sender)
        if agent is None or agent[0] != path:
            raise bluez_error('DoesNotExist', 'Does Not Exist')
        del state().agents[sender]

    @staticmethod
    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='o', out_signature='', sender_keyword='sender')
    def RequestDefaultAgent(_manager, path, sender=None):
        state().log(f'RequestDefaultAgent {path}')
        agent = state().agents.get(sender)
        if agent is None or agent[0] != path:
            raise bluez_error('DoesNotExist', 'Does Not Exist')

    @staticmethod
    @dbus.service.method(PROFILE_MANAGER_IFACE, in_signature='osa{sv}', out_signature='', sender_keyword='sender')
    def RegisterProfile(_manager, path, uuid, options, sender=None):
        state().log(' '.join(filter(None, ['RegisterProfile', str(path), str(uuid), format_filter(options)])))
        if (sender, str(path)) in state().profiles:
            raise bluez_error('AlreadyExists', 'Already Exists')
        state().profiles[(sender, str(path))] = str(uuid)

    @staticmethod
    @dbus.service.method(PROFILE_MANAGER_IFACE, in_signature='o', out_signature='', sender_keyword='sender')
    def UnregisterProfile(_manager, path, sender=None):
        state().log(f'UnregisterProfile {path}')
        if state().profiles.pop((sender, str(path)), None) is None:
            raise bluez_error('DoesNotExist', 'Does Not Exist')


# --- org.bluez.Mock on "/" -----------------------------------------------------------------------------

@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def AddAdapter(main, name, alias, address):
    '''Adds a powered adapter /org/bluez/<name>.'''
    if '/org/bluez/' + name in mockobject.objects:
        raise dbus.exceptions.DBusException(f'Adapter {name} exists', name=MOCK_IFACE + '.Exists')
    add_adapter(main, name, alias, address)


@dbus.service.method(MOCK_IFACE, in_signature='sb', out_signature='')
def SetPowered(_main, name, powered):
    '''Powers an adapter on or off; off ends its discovery and disconnects its devices.'''
    adapter = adapter_object(name)
    if not powered:
        adapter.kv_discovering.clear()
        update_discovering(adapter)
        for obj in list(mockobject.objects.values()):
            if DEVICE_IFACE in obj.props and obj.path.startswith(adapter.path + '/'):
                close_device(obj)
                set_props(obj, DEVICE_IFACE, {'Connected': variant(False)})
    set_props(adapter, ADAPTER_IFACE, {'Powered': variant(bool(powered))})


@dbus.service.method(MOCK_IFACE, in_signature='sssubbs', out_signature='')
def AddKnownDevice(_main, adapter, address, name, device_class, paired, trusted, pin):
    '''Adds a device bluetoothd already knows (paired before, or seen earlier), present at once.'''
    adapter_obj = adapter_object(adapter)
    if find_device(address) is not None:
        raise dbus.exceptions.DBusException(f'Device {address} exists', name=MOCK_IFACE + '.Exists')
    add_device(adapter_obj, address, name, device_class, pin, bool(paired), bool(trusted))


@dbus.service.method(MOCK_IFACE, in_signature='sssusu', out_signature='')
def AddDiscoverableDevice(_main, adapter, address, name, device_class, pin, delay_ms):
    '''Makes a device answer discovery on the adapter, delay_ms after discovery starts.'''
    adapter_object(adapter)
    state().discoverable.setdefault(adapter, {})[address.upper()] = {
        'name': str(name), 'device_class': int(device_class), 'pin': str(pin), 'delay_ms': int(delay_ms)}


@dbus.service.method(MOCK_IFACE, in_signature='su', out_signature='')
def SetPasskeyMode(_main, address, passkey):
    '''Makes the device pair by a six-digit passkey (RequestPasskey) instead of a PIN code.'''
    state().passkeys[address.upper()] = int(passkey)


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def SetConnectProfileError(_main, address, error_name, message):
    '''Makes ConnectProfile of the device fail with this error; an empty name clears it.'''
    if error_name:
        state().connect_errors[address.upper()] = (str(error_name), str(message))
    else:
        state().connect_errors.pop(address.upper(), None)


@dbus.service.method(MOCK_IFACE, in_signature='u', out_signature='')
def SetAgentTimeout(_main, timeout_ms):
    '''How long Pair waits for the agent's answer (25 s unless changed).'''
    state().agent_timeout_ms = int(timeout_ms)


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='')
def DropUnpairedDevices(_main, adapter):
    '''What bluetoothd does some time after discovery: forgets devices neither paired nor trusted.'''
    adapter_obj = adapter_object(adapter)
    for obj in list(mockobject.objects.values()):
        props = obj.props.get(DEVICE_IFACE)
        if props is not None and obj.path.startswith(adapter_obj.path + '/') \
                and not props['Paired'] and not props['Trusted'] and not props['Connected']:
            remove_device(obj)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def RegisteredAgents(_main):
    return dbus.Array([agent[0] for agent in state().agents.values()], signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def RegisteredProfiles(_main):
    return dbus.Array([key[1] for key in state().profiles], signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def CallLog(_main):
    return dbus.Array(state().calls, signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='b')
def Discovering(_main, adapter):
    return dbus.Boolean(adapter_object(adapter).props[ADAPTER_IFACE]['Discovering'])


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='(bbbb)')
def DeviceState(_main, address):
    '''(exists, paired, trusted, connected) of the device with this address.'''
    device = find_device(address)
    if device is None:
        return dbus.Struct((False, False, False, False), signature='bbbb')
    props = device.props[DEVICE_IFACE]
    return dbus.Struct((True, bool(props['Paired']), bool(props['Trusted']), bool(props['Connected'])),
                       signature='bbbb')


def load(mock, parameters):
    old = getattr(mock, 'kv_state', None)
    if old is not None:
        old.close()
    mock.kv_state = State()
    stock.load(mock, parameters)
    manager = mockobject.objects['/org/bluez']
    for method in (ManagerMethods.RegisterAgent, ManagerMethods.UnregisterAgent,
                   ManagerMethods.RequestDefaultAgent):
        install(manager, AGENT_MANAGER_IFACE, method)
    for method in (ManagerMethods.RegisterProfile, ManagerMethods.UnregisterProfile):
        install(manager, PROFILE_MANAGER_IFACE, method)
    manager.props.setdefault(PROFILE_MANAGER_IFACE, {})
    if not getattr(mock, 'kv_watching_clients', False):
        mock.kv_watching_clients = True

        def owner_changed(name, old_owner, new_owner):
            if name.startswith(':') and old_owner and not new_owner:
                mock.kv_state.drop_client(name)

        mock.bus_name.get_bus().add_signal_receiver(
            owner_changed, signal_name='NameOwnerChanged', dbus_interface='org.freedesktop.DBus',
            bus_name='org.freedesktop.DBus', path='/org/freedesktop/DBus')
